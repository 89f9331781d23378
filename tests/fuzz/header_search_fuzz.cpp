// Fuzzes the header search over arbitrary files: find, then read, checked against a plain search
// of the same bytes in memory. Long inputs are stretched so that block boundaries are crossed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "package/package_header.h"
#include "support/temp_dir.h"

namespace {

// Byte-by-byte restart matching, as plain as it can be written: the oracle.
kz::PackageHeaderStatus plainSearch(const std::vector<uint8_t>& bytes, uint32_t& offset) {
  const auto key = kz::packageHeaderMarker();
  uint32_t count = 0;
  for (size_t i = 0; i + key.size() <= bytes.size(); ++i) {
    if (std::memcmp(bytes.data() + i, key.data(), key.size()) == 0) {
      if (count++ == 0) offset = static_cast<uint32_t>(i);
    }
  }
  using Status = kz::PackageHeaderStatus;
  return count == 0 ? Status::MarkerAbsent : count > 1 ? Status::MarkerRepeated : Status::Ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kz::test::TempDir dir;
  static const std::string path = dir.file("input.bin");

  // The first byte, when present, places the input behind a run of filler so that its bytes meet
  // the 128 KiB block boundary at every alignment.
  std::vector<uint8_t> bytes;
  if (size > 0) {
    const uint32_t lead = data[0] & 0x80 ? kz::kHeaderSearchBlock - 16 + (data[0] & 0x1F) : 0;
    bytes.assign(lead, 0x5B);  // '[': every filler byte starts a failed attempt
    bytes.insert(bytes.end(), data + 1, data + size);
  }
  kz::test::writeFileBytes(path, bytes);

  uint32_t offset = 0xFFFFFFFFu;
  const kz::PackageHeaderStatus code = kz::findPackageHeader(path.c_str(), offset);
  uint32_t expectedOffset = 0xFFFFFFFFu;
  const kz::PackageHeaderStatus expected = plainSearch(bytes, expectedOffset);
  const bool found = code == kz::PackageHeaderStatus::Ok;
  if (code != expected || (found && offset != expectedOffset) || (!found && offset != 0xFFFFFFFFu)) {
    std::fprintf(stderr, "search gave code %u offset %u, expected %u offset %u\n", static_cast<unsigned>(code), offset,
                 static_cast<unsigned>(expected), expectedOffset);
    std::abort();
  }
  if (found) {
    kz::PackageHeader header;
    const kz::PackageHeaderStatus readCode = kz::readPackageHeader(path.c_str(), offset, header);
    const bool whole = bytes.size() - offset >= kz::kPackageHeaderSize;
    if (readCode != (whole ? kz::PackageHeaderStatus::Ok : kz::PackageHeaderStatus::ShortRead)) std::abort();
    if (readCode == kz::PackageHeaderStatus::Ok && std::memcmp(header.marker.data(), bytes.data() + offset, 16) != 0) std::abort();
  }
  return 0;
}
