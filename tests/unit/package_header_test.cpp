// PackageHeader byte form, the header search and the read and write-back of a header in a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "package/package_header.h"
#include "platform/files.h"
#include "support/header_fixtures.h"
#include "support/temp_dir.h"

namespace kz {
namespace {

using test::markerBytes;
using test::placeBytes;
using test::placeHeader;
using test::readFileBytes;
using test::sampleHeader;
using test::TempDir;
using test::writeFileBytes;
using Status = PackageHeaderStatus;

// A file service whose openFile can be replaced, to hand out streams that fail on purpose.
class OpenHook : public platform::ForwardingFileSystem {
 public:
  using Hook = std::function<std::FILE*(const char*, const char*)>;
  explicit OpenHook(Hook hook) : ForwardingFileSystem(platform::nativeFileSystem()), hook_(std::move(hook)) {}
  std::FILE* openFile(const char* p, const char* m) override { return hook_(p, m); }
  // A stream over memory has no disk to reach: its flush is the stream's own.
  bool flushFile(std::FILE* f) override { return std::fflush(f) == 0; }

 private:
  Hook hook_;
};

// A stream over memory whose size, reads and writes can lie, built with fopencookie.
struct FakeStream {
  std::vector<uint8_t> data;
  long claimedSize = -1;     // what a seek to the end reports; -1: the real size
  bool seekFails = false;
  bool writeFails = false;
  long position = 0;
};

std::FILE* openFake(FakeStream& s, const char* mode) {
  cookie_io_functions_t io{};
  io.read = [](void* c, char* buf, size_t size) -> ssize_t {
    auto& f = *static_cast<FakeStream*>(c);
    const long left = static_cast<long>(f.data.size()) - f.position;
    const size_t n = left <= 0 ? 0 : std::min(size, static_cast<size_t>(left));
    std::memcpy(buf, f.data.data() + f.position, n);
    f.position += static_cast<long>(n);
    return static_cast<ssize_t>(n);
  };
  io.write = [](void* c, const char* buf, size_t size) -> ssize_t {
    auto& f = *static_cast<FakeStream*>(c);
    if (f.writeFails) return -1;
    if (f.data.size() < f.position + size) f.data.resize(f.position + size);
    std::memcpy(f.data.data() + f.position, buf, size);
    f.position += static_cast<long>(size);
    return static_cast<ssize_t>(size);
  };
  io.seek = [](void* c, off64_t* off, int whence) -> int {
    auto& f = *static_cast<FakeStream*>(c);
    if (f.seekFails) return -1;
    const long end = f.claimedSize >= 0 ? f.claimedSize : static_cast<long>(f.data.size());
    const long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.position : end;
    f.position = base + static_cast<long>(*off);
    *off = f.position;
    return 0;
  };
  return fopencookie(&s, mode, io);
}

PackageHeaderStatus findIn(const TempDir& dir, const std::vector<uint8_t>& bytes, uint32_t& offset) {
  const std::string path = dir.file("search.bin");
  writeFileBytes(path, bytes);
  return findPackageHeader(path.c_str(), offset);
}

std::vector<uint8_t> filler(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131) ^ (i >> 9));
  // The filler must not hold a marker start of its own.
  for (auto& b : bytes) {
    if (b == '[') b = ']';
  }
  return bytes;
}

// Every field lands at its little-endian offset, and decoding gives the record back.
TEST(PackageHeaderBytes, SerialisesEachFieldLittleEndianAtItsOffset) {
  PackageHeader h = sampleHeader();
  h.reserved[3] = 0xAB;
  h.installValue1 = 0x11223344;
  h.installValue2 = 5;
  h.transientValue = 0xCAFEBABE;
  h.installValue3 = 0x01020304;
  const PackageHeaderBytes b = encodePackageHeader(h);
  const std::vector<uint8_t> expected = {
      '[', 'P', 'I', 'D', '_', 'H', 'E', 'A', 'D', 'E', 'R', '_', 'I', 'D', ']', 0,  // marker
      0, 0, 0, 0, 0, 0, 0xF0, 0x3F,                                                  // 1.0
      1, 0, 0, 0,                                                                    // product 1
      'R', 'V', 0, 0,                                                                // code
      0, 0, 0, 0xAB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                             // reserved
      0x71, 0x3D, 0x0A, 0xD7, 0xA3, 0x70, 0x18, 0x40,                                // 6.11
      0x44, 0x33, 0x22, 0x11, 5, 0, 0, 0, 0xBE, 0xBA, 0xFE, 0xCA, 4, 3, 2, 1};
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.end()), expected);
  EXPECT_EQ(encodePackageHeader(decodePackageHeader(b)), b);
  EXPECT_EQ(decodePackageHeader(b).productNumber, 1);
  EXPECT_EQ(decodePackageHeader(b).productVersion, 6.11);
}

// A marker that straddles the 128 KiB block boundary is found at its exact offset, wherever it is
// cut; one that ends at the block's last byte, or just before, is found once, not again in the
// tail the next block carries over.
TEST(FindPackageHeader, FindsMarkerStraddlingTheBlockBoundary) {
  TempDir dir;
  for (uint32_t start = kHeaderSearchBlock - 17; start <= kHeaderSearchBlock; ++start) {
    std::vector<uint8_t> file = filler(3 * kHeaderSearchBlock);
    placeHeader(file, start, sampleHeader());
    uint32_t offset = 0;
    ASSERT_EQ(findIn(dir, file, offset), Status::Ok) << start;
    EXPECT_EQ(offset, start);
  }
}

// Markers cut by later block boundaries are found too; the tail carried between blocks is exact.
TEST(FindPackageHeader, FindsMarkerAcrossLaterBoundaries) {
  TempDir dir;
  for (uint32_t start = 2 * kHeaderSearchBlock - 40; start < 2 * kHeaderSearchBlock + 8; ++start) {
    std::vector<uint8_t> file = filler(2 * kHeaderSearchBlock + 100);
    placeBytes(file, start, markerBytes());
    uint32_t offset = 0;
    ASSERT_EQ(findIn(dir, file, offset), Status::Ok) << start;
    EXPECT_EQ(offset, start);
  }
}

// The file with each piece of bytes placed at its offset (the file grows to hold it).
std::vector<uint8_t> with(std::vector<uint8_t> file, const std::vector<std::pair<size_t, std::vector<uint8_t>>>& pieces) {
  for (const auto& [at, bytes] : pieces) placeBytes(file, static_cast<uint32_t>(at), bytes);
  return file;
}

// Where the search finds the one marker (at the start, at the end, behind a partial marker, also
// one ending at the block boundary), and that two markers (code 6) or none (code 5: no marker, an
// empty file, 15 of the 16 bytes, the last byte changed) leave the offset alone.
TEST(FindPackageHeader, FindsTheOneMarkerAndRefusesNoneOrTwo) {
  const PackageHeaderBytes header = encodePackageHeader(sampleHeader());
  const std::vector<uint8_t> record(header.begin(), header.end());
  const std::vector<uint8_t> marker = markerBytes();
  const std::vector<uint8_t> partial(marker.begin(), marker.end() - 1);
  std::vector<uint8_t> wrongEnd = marker;
  wrongEnd.back() = ' ';
  const struct {
    const char* name;
    std::vector<uint8_t> file;
    Status status;
    uint32_t offset;  // where the marker is; for a refusal the untouched 77
  } cases[] = {
      {"at the start", marker, Status::Ok, 0},
      {"at the end", with(filler(kHeaderSearchBlock + 5), {{kHeaderSearchBlock + 5, marker}}), Status::Ok,
       kHeaderSearchBlock + 5},
      {"behind a partial marker", with({'x', '[', 'P', 'I', 'D', '_'}, {{6, marker}}), Status::Ok, 6},
      {"behind a partial marker ending at the block boundary",
       with(filler(kHeaderSearchBlock + 64), {{kHeaderSearchBlock - 15, partial}, {kHeaderSearchBlock, marker}}),
       Status::Ok, kHeaderSearchBlock},
      {"two headers", with(filler(kHeaderSearchBlock * 2), {{100, record}, {kHeaderSearchBlock - 3, record}}),
       Status::MarkerRepeated, 77},
      {"two adjacent markers", with(marker, {{16, marker}}), Status::MarkerRepeated, 77},
      {"no marker", filler(300000), Status::MarkerAbsent, 77},
      {"an empty file", {}, Status::MarkerAbsent, 77},
      {"15 of the 16 bytes", partial, Status::MarkerAbsent, 77},
      {"the last byte changed", wrongEnd, Status::MarkerAbsent, 77},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t offset = 77;
    EXPECT_EQ(findIn(dir, c.file, offset), c.status);
    EXPECT_EQ(offset, c.offset);
  }
}

// A file that cannot be opened gives code 2.
TEST(FindPackageHeader, MissingFileGivesCodeTwo) {
  TempDir dir;
  uint32_t offset = 0;
  EXPECT_EQ(findPackageHeader(dir.file("absent.exe").c_str(), offset), Status::AccessFailed);
}

// A size that cannot be queried gives code 1, and so does a file of 4 GiB or more, which 32-bit
// offsets cannot describe; a read that delivers less than the size promised gives 3.
TEST(FindPackageHeader, SizeQueryAndShortReadFailures) {
  const struct {
    const char* name;
    bool seekFails;
    long claimedSize;
    Status status;
  } cases[] = {
      {"size query fails", true, -1, Status::NoMemoryOrSize},
      {"4 GiB", false, 0x100000000L, Status::NoMemoryOrSize},
      {"less than the size promised", false, 5000, Status::ShortRead},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeStream stream;
    stream.data = filler(1000);
    stream.seekFails = c.seekFails;
    stream.claimedSize = c.claimedSize;
    OpenHook hook([&](const char*, const char* mode) { return openFake(stream, mode); });
    platform::ScopedFileSystem scope(hook);
    uint32_t offset = 0;
    EXPECT_EQ(findPackageHeader("fake", offset), c.status);
  }
}

// The read takes the 72 bytes at the offset; a missing file gives 2 and a short record 3.
TEST(ReadPackageHeader, ReadsRecordAndReportsOpenAndShortRead) {
  TempDir dir;
  PackageHeader h = sampleHeader();
  h.installValue2 = 42;
  std::vector<uint8_t> file = filler(500);
  placeHeader(file, 200, h);
  const std::string path = dir.file("a.exe");
  writeFileBytes(path, file);

  PackageHeader got;
  ASSERT_EQ(readPackageHeader(path.c_str(), 200, got), Status::Ok);
  EXPECT_EQ(encodePackageHeader(got), encodePackageHeader(h));
  EXPECT_EQ(readPackageHeader(dir.file("none").c_str(), 0, got), Status::AccessFailed);
  EXPECT_EQ(readPackageHeader(path.c_str(), 500 - 71, got), Status::ShortRead);
}

// Write-back stores transientValue 0, changes only the 72 bytes, and leaves the caller's record alone.
TEST(WritePackageHeader, StoresTransientZeroAndKeepsCallersRecord) {
  TempDir dir;
  std::vector<uint8_t> file = filler(4000);
  placeHeader(file, 1000, sampleHeader());
  const std::string path = dir.file("b.exe");
  writeFileBytes(path, file);

  PackageHeader h = sampleHeader();
  h.installValue1 = 5;
  h.transientValue = 0x77;
  ASSERT_EQ(writePackageHeader(path.c_str(), 1000, h), Status::Ok);
  EXPECT_EQ(h.transientValue, 0x77u);

  const std::vector<uint8_t> after = readFileBytes(path);
  PackageHeader stored = h;
  stored.transientValue = 0;
  std::vector<uint8_t> expected = file;
  placeHeader(expected, 1000, stored);
  EXPECT_EQ(after, expected);
}

// A file that cannot be opened for update gives 2; a failed write gives 4.
TEST(WritePackageHeader, OpenFailureAndShortWrite) {
  TempDir dir;
  PackageHeader h = sampleHeader();
  h.transientValue = 9;
  EXPECT_EQ(writePackageHeader(dir.file("none").c_str(), 0, h), Status::AccessFailed);

  FakeStream stream;
  stream.data = filler(200);
  stream.writeFails = true;
  OpenHook hook([&](const char*, const char* mode) {
    stream.position = 0;
    return openFake(stream, mode);
  });
  platform::ScopedFileSystem scope(hook);
  EXPECT_EQ(writePackageHeader("fake", 10, h), Status::ShortWrite);
  EXPECT_EQ(h.transientValue, 9u);
}

// The read-back decides: different bytes give 2, fewer than 72 bytes give 3.
TEST(WritePackageHeader, VerifiesTheReadBack) {
  FakeStream written;
  written.data = filler(200);
  FakeStream readBack;
  OpenHook hook([&](const char*, const char* mode) {
    FakeStream& s = std::string(mode) == "rb" ? readBack : written;
    s.position = 0;
    return openFake(s, mode);
  });
  platform::ScopedFileSystem scope(hook);
  PackageHeader h = sampleHeader();

  readBack.data = filler(200);
  EXPECT_EQ(writePackageHeader("fake", 10, h), Status::AccessFailed);
  readBack.data.resize(50);
  EXPECT_EQ(writePackageHeader("fake", 10, h), Status::ShortRead);
  readBack.data = written.data;  // what the write produced: the same bytes read back
  EXPECT_EQ(writePackageHeader("fake", 10, h), Status::Ok);
}

}  // namespace
}  // namespace kz
