// The PackageHeader's byte form and the operations that find, read and write it inside a file.
#include "package/package_header.h"

#include <bit>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/files.h"

namespace kz {
namespace {

using Status = PackageHeaderStatus;

// The marker's two halves, with a byte between them so that no ordering of the program's data
// can place them side by side as one whole marker.
struct MarkerHalves {
  char first[8];
  char gap;
  char second[8];
};
constexpr MarkerHalves kMarkerHalves = {{'[', 'P', 'I', 'D', '_', 'H', 'E', 'A'},
                                        '|',
                                        {'D', 'E', 'R', '_', 'I', 'D', ']', '\0'}};

void putU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

void putU64(uint8_t* p, uint64_t v) {
  putU32(p, static_cast<uint32_t>(v));
  putU32(p + 4, static_cast<uint32_t>(v >> 32));
}

uint32_t getU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t getU64(const uint8_t* p) {
  return static_cast<uint64_t>(getU32(p)) | (static_cast<uint64_t>(getU32(p + 4)) << 32);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openStream(const char* path, const char* mode) {
  return File(platform::fileSystem().openFile(path, mode));
}

// fseek takes a long, which is 32 bits on Windows: an offset beyond it cannot be reached.
bool seekTo(std::FILE* f, uint32_t offset) {
  if (std::cmp_greater(offset, LONG_MAX)) return false;
  return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0;
}

// The stream's size, when it fits the 32-bit offsets of this format.
bool streamSize(std::FILE* f, uint32_t& size) {
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  const long end = std::ftell(f);
  if (end < 0 || std::cmp_greater(end, UINT32_MAX)) return false;
  if (std::fseek(f, 0, SEEK_SET) != 0) return false;
  size = static_cast<uint32_t>(end);
  return true;
}

// Counts the occurrences of key in a block whose first `carried` bytes were already scanned as
// the tail of the previous block. Finds exactly what byte-by-byte restart matching finds: every
// start position whose 16 bytes equal the key, overlapping ones included.
void scanBlock(const uint8_t* block, uint32_t length, const uint8_t* key, uint32_t blockFileOffset,
               uint32_t& count, uint32_t& firstOffset) {
  const uint8_t* p = block;
  const uint8_t* const last = block + length;  // a match must start at or before last - 16
  while (static_cast<uint32_t>(last - p) >= kPackageMarkerSize) {
    const void* hit = std::memchr(p, key[0], static_cast<size_t>(last - p) - (kPackageMarkerSize - 1));
    if (hit == nullptr) return;
    p = static_cast<const uint8_t*>(hit);
    if (std::memcmp(p, key, kPackageMarkerSize) == 0) {
      if (count == 0) firstOffset = blockFileOffset + static_cast<uint32_t>(p - block);
      ++count;
    }
    ++p;
  }
}

}  // namespace

std::array<char, kPackageMarkerSize> packageHeaderMarker() {
  // Read through volatile so that the optimiser cannot fold the halves into one whole constant.
  const volatile char* halves = reinterpret_cast<const volatile char*>(&kMarkerHalves);
  std::array<char, kPackageMarkerSize> key{};
  for (size_t i = 0; i < 8; ++i) {
    key[i] = halves[offsetof(MarkerHalves, first) + i];
    key[8 + i] = halves[offsetof(MarkerHalves, second) + i];
  }
  return key;
}

PackageHeaderBytes encodePackageHeader(const PackageHeader& header) {
  PackageHeaderBytes b{};
  std::memcpy(b.data(), header.marker.data(), 16);
  putU64(b.data() + 16, std::bit_cast<uint64_t>(header.headerVersion));
  putU32(b.data() + 24, static_cast<uint32_t>(header.productNumber));
  std::memcpy(b.data() + 28, header.productCode.data(), 4);
  std::memcpy(b.data() + 32, header.reserved.data(), 16);
  putU64(b.data() + 48, std::bit_cast<uint64_t>(header.productVersion));
  putU32(b.data() + 56, header.installValue1);
  putU32(b.data() + 60, header.installValue2);
  putU32(b.data() + 64, header.transientValue);
  putU32(b.data() + 68, header.installValue3);
  return b;
}

PackageHeader decodePackageHeader(const PackageHeaderBytes& b) {
  PackageHeader h;
  std::memcpy(h.marker.data(), b.data(), 16);
  h.headerVersion = std::bit_cast<double>(getU64(b.data() + 16));
  h.productNumber = static_cast<int32_t>(getU32(b.data() + 24));
  std::memcpy(h.productCode.data(), b.data() + 28, 4);
  std::memcpy(h.reserved.data(), b.data() + 32, 16);
  h.productVersion = std::bit_cast<double>(getU64(b.data() + 48));
  h.installValue1 = getU32(b.data() + 56);
  h.installValue2 = getU32(b.data() + 60);
  h.transientValue = getU32(b.data() + 64);
  h.installValue3 = getU32(b.data() + 68);
  return h;
}

Status findPackageHeader(const char* path, uint32_t& offset) {
  const std::array<char, kPackageMarkerSize> marker = packageHeaderMarker();
  const auto* key = reinterpret_cast<const uint8_t*>(marker.data());

  std::unique_ptr<uint8_t, decltype(&std::free)> buffer(
      static_cast<uint8_t*>(std::calloc(kHeaderSearchBlock, 1)), &std::free);
  if (!buffer) return Status::NoMemoryOrSize;
  File file = openStream(path, "rb");
  if (!file) return Status::AccessFailed;
  uint32_t remaining = 0;
  if (!streamSize(file.get(), remaining)) return Status::NoMemoryOrSize;

  uint8_t* const buf = buffer.get();
  uint32_t count = 0;
  uint32_t firstOffset = 0;
  uint32_t carried = 0;      // tail bytes of the previous block that may begin a marker
  uint32_t fileOffset = 0;   // file offset of buf[0]
  while (remaining > 0) {
    const uint32_t want = remaining < kHeaderSearchBlock - carried ? remaining : kHeaderSearchBlock - carried;
    if (std::fread(buf + carried, 1, want, file.get()) != want) return Status::ShortRead;
    remaining -= want;
    const uint32_t length = carried + want;
    scanBlock(buf, length, key, fileOffset, count, firstOffset);
    // Keep the last 15 bytes: any marker that begins among them ends in the next block. A match
    // wholly inside them was already counted and cannot be counted again, as it needs 16 bytes.
    carried = length < kPackageMarkerSize - 1 ? length : kPackageMarkerSize - 1;
    std::memmove(buf, buf + length - carried, carried);
    fileOffset += length - carried;
  }

  if (count == 0) return Status::MarkerAbsent;
  if (count > 1) return Status::MarkerRepeated;
  offset = firstOffset;
  return Status::Ok;
}

Status readPackageHeader(const char* path, uint32_t offset, PackageHeader& header) {
  File file = openStream(path, "rb");
  if (!file) return Status::AccessFailed;
  if (!seekTo(file.get(), offset)) return Status::AccessFailed;
  PackageHeaderBytes bytes{};
  if (std::fread(bytes.data(), bytes.size(), 1, file.get()) != 1) return Status::ShortRead;
  header = decodePackageHeader(bytes);
  return Status::Ok;
}

Status writePackageHeader(const char* path, uint32_t offset, const PackageHeader& header) {
  // The caller's record stays as it was; the file always receives transientValue 0.
  PackageHeader stored = header;
  stored.transientValue = 0;
  const PackageHeaderBytes bytes = encodePackageHeader(stored);
  {
    File file = openStream(path, "rb+");
    if (!file) return Status::AccessFailed;
    if (!seekTo(file.get(), offset)) return Status::AccessFailed;
    if (std::fwrite(bytes.data(), bytes.size(), 1, file.get()) != 1) return Status::ShortWrite;
    // A write that the close cannot flush, or that does not reach the disk, is a short write as well.
    if (!platform::fileSystem().flushFile(file.get())) return Status::ShortWrite;
    if (std::fclose(file.release()) != 0) return Status::ShortWrite;
  }
  File file = openStream(path, "rb");
  if (!file) return Status::AccessFailed;
  if (!seekTo(file.get(), offset)) return Status::AccessFailed;
  PackageHeaderBytes readBack{};
  if (std::fread(readBack.data(), readBack.size(), 1, file.get()) != 1) return Status::ShortRead;
  return readBack == bytes ? Status::Ok : Status::AccessFailed;
}

}  // namespace kz
