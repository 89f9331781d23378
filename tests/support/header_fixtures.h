// Builders for PackageHeader records and files that hold them, for tests and benchmarks.
//
// The marker is always taken from packageHeaderMarker(), never written out whole, so that test
// programs which link the package area still hold only one whole copy of it.
#pragma once

#include <cstdint>
#include <vector>

#include "package/package_header.h"

namespace kz::test {

// The record this build's package carries: version 1.0, product 1 "RV", 6.11, all values 0.
PackageHeader sampleHeader();

// The 16 marker bytes.
std::vector<uint8_t> markerBytes();

// Copies bytes into file at offset, growing file as needed.
void placeBytes(std::vector<uint8_t>& file, uint32_t offset, const std::vector<uint8_t>& bytes);

// Writes the encoded header into file at offset, growing file as needed.
void placeHeader(std::vector<uint8_t>& file, uint32_t offset, const PackageHeader& header);

}  // namespace kz::test
