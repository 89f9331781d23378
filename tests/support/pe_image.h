// A bounds-checked reader of a PE file's headers, sections, imports and resources, for tests that
// inspect the executables the build produces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kz::test {

struct PeSection {
  std::string name;
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawOffset = 0;
  uint32_t rawSize = 0;
};

// One leaf of the resource tree. A level named by a string has its name (upper case as stored)
// and id 0; one named by a number has an empty name.
struct PeResource {
  uint32_t typeId = 0;
  std::string typeName;
  uint32_t nameId = 0;
  std::string name;
  uint32_t language = 0;
  std::vector<uint8_t> data;
};

struct PeImage {
  uint16_t machine = 0;
  uint16_t subsystem = 0;
  bool pe32Plus = false;
  std::vector<PeSection> sections;
  std::vector<std::string> importedDlls;
  std::vector<PeResource> resources;
};

// Parses bytes as a PE image; nullopt (with the reason in error) when any structure is out of bounds.
std::optional<PeImage> parsePeImage(const std::vector<uint8_t>& bytes, std::string& error);

// The section whose raw data holds file offset, or nullptr.
const PeSection* sectionAtFileOffset(const PeImage& image, uint64_t offset);

// The string of a string-table resource block entry: block (id / 16 + 1) holds 16 counted UTF-16
// strings; ASCII texts come back as they are.
std::optional<std::string> stringTableEntry(const PeImage& image, uint16_t id);

}  // namespace kz::test
