// The package area: a PackageHeader, the little-endian package size, then the KZ6 form, in one
// fixed block of the executable's initialised data.
//
// The maker's merge rewrites the area in the file after linking, so the program must never let
// the optimiser assume the bytes it was compiled with: the area is reached only through
// packageArea(), and the size only through packageSizeOf().
#pragma once

#include <cstdint>

#include "package/package_header.h"

namespace kz {

// The capacity of the form part: the internal buffer size of this build.
inline constexpr uint32_t kInternalBufferSize = 7698164;
inline constexpr uint32_t kPackageSizeOffset = kPackageHeaderSize;
inline constexpr uint32_t kPackageFormOffset = kPackageHeaderSize + 4;
inline constexpr uint32_t kPackageAreaSize = kPackageFormOffset + kInternalBufferSize;

// The running executable's own package area (defined only in executables that carry one).
const uint8_t* packageArea();

// The package size field of an area, read byte by byte, little-endian.
uint32_t packageSizeOf(const uint8_t* area);

}  // namespace kz
