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
uint16_t plainSearch(const std::vector<uint8_t>& bytes, uint32_t& offset) {
  const auto key = kz::packageHeaderMarker();
  uint32_t count = 0;
  for (size_t i = 0; i + key.size() <= bytes.size(); ++i) {
    if (std::memcmp(bytes.data() + i, key.data(), key.size()) == 0) {
      if (count++ == 0) offset = static_cast<uint32_t>(i);
    }
  }
  return count == 0 ? 5 : count > 1 ? 6 : 0;
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
  const uint16_t code = kz::findPackageHeader(path.c_str(), offset);
  uint32_t expectedOffset = 0xFFFFFFFFu;
  const uint16_t expected = plainSearch(bytes, expectedOffset);
  if (code != expected || (code == 0 && offset != expectedOffset) || (code != 0 && offset != 0xFFFFFFFFu)) {
    std::fprintf(stderr, "search gave code %u offset %u, expected %u offset %u\n", code, offset, expected,
                 expectedOffset);
    std::abort();
  }
  if (code == 0) {
    kz::PackageHeader header;
    const uint16_t readCode = kz::readPackageHeader(path.c_str(), offset, header);
    const bool whole = bytes.size() - offset >= kz::kPackageHeaderSize;
    if (readCode != (whole ? 0 : 3)) std::abort();
    if (readCode == 0 && std::memcmp(header.marker.data(), bytes.data() + offset, 16) != 0) std::abort();
  }
  return 0;
}
