// Reading the package size field of a package area.
#include "package/package_area.h"

namespace kz {

uint32_t packageSizeOf(const uint8_t* area) {
  // Volatile loads: in the running image these bytes were written after the program was built.
  const volatile uint8_t* p = area + kPackageSizeOffset;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace kz
