// The 72-byte PackageHeader and the operations that find, read and write it inside any file.
//
// The record is serialised field by field, little-endian, never through the struct's layout.
// Result codes: 0 success, 1 no memory or size query failed, 2 open, seek or verify failed,
// 3 short read, 4 short write, 5 marker absent, 6 marker more than once.
#pragma once

#include <array>
#include <cstdint>

namespace kz {

inline constexpr uint32_t kPackageHeaderSize = 72;
inline constexpr uint32_t kPackageMarkerSize = 16;
inline constexpr uint32_t kHeaderSearchBlock = 131072;

struct PackageHeader {
  std::array<char, 16> marker{};
  double headerVersion = 0.0;
  int32_t productNumber = 0;
  std::array<char, 4> productCode{};
  std::array<uint8_t, 16> reserved{};
  double productVersion = 0.0;
  uint32_t installValue1 = 0;
  uint32_t installValue2 = 0;
  uint32_t transientValue = 0;
  uint32_t installValue3 = 0;
};

using PackageHeaderBytes = std::array<uint8_t, kPackageHeaderSize>;

PackageHeaderBytes encodePackageHeader(const PackageHeader& header);
PackageHeader decodePackageHeader(const PackageHeaderBytes& bytes);

// The 16-byte search key, joined at run time from its two halves so that no whole copy of it
// stands anywhere in the program's image but the one in the package area.
std::array<char, kPackageMarkerSize> packageHeaderMarker();

// Searches the whole file for the marker. Codes 0 (offset set), 1 (no buffer, or the size cannot be
// queried or does not fit 32 bits: files of 4 GiB or more), 2, 3, 5, 6. offset is left alone
// unless the code is 0.
uint16_t findPackageHeader(const char* path, uint32_t& offset);
// Reads the 72 bytes at offset. Codes 0, 2 (open or seek), 3 (short read); header set only on 0.
uint16_t readPackageHeader(const char* path, uint32_t offset, PackageHeader& header);
// Writes header at offset with transientValue stored as 0, then reads it back and compares.
// Codes 0, 2 (open, seek, or the read-back differs), 3 (short read-back), 4 (short write).
uint16_t writePackageHeader(const char* path, uint32_t offset, const PackageHeader& header);

}  // namespace kz
