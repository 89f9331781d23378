// PackageHeader records and their placement in test files.
#include "support/header_fixtures.h"

#include <algorithm>

namespace kz::test {

PackageHeader sampleHeader() {
  PackageHeader h;
  h.marker = packageHeaderMarker();
  h.headerVersion = 1.0;
  h.productNumber = 1;
  h.productCode = {'R', 'V', '\0', '\0'};
  h.productVersion = 6.11;
  return h;
}

std::vector<uint8_t> markerBytes() {
  const auto m = packageHeaderMarker();
  return {m.begin(), m.end()};
}

void placeBytes(std::vector<uint8_t>& file, uint32_t offset, const std::vector<uint8_t>& bytes) {
  if (file.size() < offset + bytes.size()) file.resize(offset + bytes.size());
  std::copy(bytes.begin(), bytes.end(), file.begin() + offset);
}

void placeHeader(std::vector<uint8_t>& file, uint32_t offset, const PackageHeader& header) {
  const PackageHeaderBytes b = encodePackageHeader(header);
  placeBytes(file, offset, std::vector<uint8_t>(b.begin(), b.end()));
}

}  // namespace kz::test
