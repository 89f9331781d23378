// Fuzzes the PE version-resource reader: any bytes, no read outside them, and a found version only
// with its record's signature checked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kz::platform::FixedVersionInfo info;
  const auto status = kz::platform::readPeVersion(data, size, info);
  if (status != kz::platform::PeVersionStatus::Found && info.productVersion() != 0) std::abort();
  return 0;
}
