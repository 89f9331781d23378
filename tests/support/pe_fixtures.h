// Builders of small PE files: an optional version resource of a given product version, and an
// optional payload (a PackageHeader, or any bytes) inside the same section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kz::test {

struct PeOptions {
  // None: the file has no resource directory at all.
  std::optional<uint64_t> productVersion;
  uint64_t fileVersion = 0;
  // Bytes placed in the section after the resources, at PeFile::payloadOffset.
  std::vector<uint8_t> payload;
  bool pe32Plus = false;
};

struct PeFile {
  std::vector<uint8_t> bytes;
  uint32_t payloadOffset = 0;
  // Where the VS_FIXEDFILEINFO record starts, for tests that corrupt it; 0 without a resource.
  uint32_t fixedInfoOffset = 0;
  // Where the resource directory starts; 0 without a resource.
  uint32_t resourceOffset = 0;
};

PeFile buildPeFile(const PeOptions& options);

// A little-endian 32-bit field of a file's bytes: read at at, and written there (the bytes grow to
// hold it).
uint32_t get32(const std::vector<uint8_t>& bytes, size_t at);
void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);

}  // namespace kz::test
