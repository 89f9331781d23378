// Magic numbers and sizes of the gzip member and PKZIP local entry formats.
#pragma once

#include <cstdint>

namespace kz::gzip {

inline constexpr uint32_t kRefillSize = 0x8000;
inline constexpr uint32_t kWindowSize = 0x8000;

inline constexpr uint8_t kMagic1 = 0x1F;
inline constexpr uint8_t kMagic2 = 0x8B;
inline constexpr uint8_t kOldMagic2 = 0x9E;
inline constexpr uint8_t kMethodDeflate = 8;
inline constexpr uint8_t kMethodStored = 0;

// Header flag bits.
inline constexpr uint8_t kFlagText = 0x01;     // ignored
inline constexpr uint8_t kFlagHeaderCrc = 0x02;  // refused
inline constexpr uint8_t kFlagExtra = 0x04;
inline constexpr uint8_t kFlagName = 0x08;
inline constexpr uint8_t kFlagComment = 0x10;
inline constexpr uint8_t kFlagsRefused = 0x02 | 0x20 | 0x40 | 0x80;

inline constexpr uint32_t kPkSignature = 0x04034B50;  // "PK\3\4" little-endian
inline constexpr uint32_t kPkFixedHeader = 30;
inline constexpr uint32_t kPkOffsetFlags = 6;
inline constexpr uint32_t kPkOffsetMethod = 8;
inline constexpr uint32_t kPkOffsetCrc = 14;
inline constexpr uint32_t kPkOffsetCompressedSize = 18;
inline constexpr uint32_t kPkOffsetSize = 22;
inline constexpr uint32_t kPkOffsetNameLength = 26;
inline constexpr uint32_t kPkOffsetExtraLength = 28;
inline constexpr uint8_t kPkFlagEncrypted = 0x01;
inline constexpr uint8_t kPkFlagDescriptor = 0x08;

}  // namespace kz::gzip
