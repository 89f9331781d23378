// The 72-byte PackageHeader and the operations that find, read and write it inside any file.
//
// The record is serialised field by field, little-endian, never through the struct's layout.
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

// What the operations below report. The numbers are part of the interface (kz6 header prints
// them as its code), so each keeps its value.
enum class PackageHeaderStatus : uint16_t {
  Ok = 0,
  NoMemoryOrSize = 1,  // no buffer, or the file's size cannot be queried or does not fit 32 bits
  AccessFailed = 2,    // the file cannot be opened or the offset reached, or the read-back differs
  ShortRead = 3,
  ShortWrite = 4,
  MarkerAbsent = 5,
  MarkerRepeated = 6,  // the marker stands more than once
};

// Searches the whole file for the marker: Ok (offset set), NoMemoryOrSize (files of 4 GiB or more
// included), AccessFailed, ShortRead, MarkerAbsent or MarkerRepeated. offset is left alone unless
// the result is Ok.
PackageHeaderStatus findPackageHeader(const char* path, uint32_t& offset);
// Reads the 72 bytes at offset: Ok, AccessFailed (open or seek) or ShortRead; header set only on Ok.
PackageHeaderStatus readPackageHeader(const char* path, uint32_t offset, PackageHeader& header);
// Writes header at offset with transientValue stored as 0, then reads it back and compares: Ok,
// AccessFailed (open, seek, or the read-back differs), ShortRead (of the read-back) or ShortWrite.
PackageHeaderStatus writePackageHeader(const char* path, uint32_t offset, const PackageHeader& header);

}  // namespace kz
