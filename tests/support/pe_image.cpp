// PE parsing for tests: every read goes through one checked accessor.
#include "pe_image.h"

namespace kz::test {
namespace {

class Bytes {
 public:
  explicit Bytes(const std::vector<uint8_t>& data) : data_(data) {}
  bool has(uint64_t offset, uint64_t length) const { return offset <= data_.size() && length <= data_.size() - offset; }
  uint16_t u16(uint64_t offset) const {
    if (!has(offset, 2)) throw Bad{};
    return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
  }
  uint32_t u32(uint64_t offset) const {
    return static_cast<uint32_t>(u16(offset)) | (static_cast<uint32_t>(u16(offset + 2)) << 16);
  }
  struct Bad {};
  const std::vector<uint8_t>& data_;
};

// Maps a relative virtual address to a file offset through the section that holds it.
uint64_t fileOffset(const PeImage& image, uint32_t rva, const Bytes&) {
  for (const PeSection& s : image.sections) {
    if (rva >= s.virtualAddress && rva - s.virtualAddress < std::max(s.virtualSize, s.rawSize)) {
      const uint32_t within = rva - s.virtualAddress;
      if (within >= s.rawSize) throw Bytes::Bad{};
      return uint64_t{s.rawOffset} + within;
    }
  }
  throw Bytes::Bad{};
}

std::string asciiZ(const Bytes& bytes, uint64_t offset) {
  std::string out;
  for (;;) {
    if (!bytes.has(offset, 1)) throw Bytes::Bad{};
    const char c = static_cast<char>(bytes.data_[offset++]);
    if (c == '\0') return out;
    out += c;
  }
}

// A resource directory entry's name: a counted UTF-16 string, narrowed (the names here are ASCII).
std::string resourceName(const Bytes& bytes, uint64_t base, uint32_t offset) {
  const uint16_t length = bytes.u16(base + offset);
  std::string out;
  for (uint16_t i = 0; i < length; ++i) out += static_cast<char>(bytes.u16(base + offset + 2 + 2u * i));
  return out;
}

void walkResources(PeImage& image, const Bytes& bytes, uint64_t base, uint64_t directory, int level, PeResource leaf) {
  if (level > 2) throw Bytes::Bad{};
  const uint16_t named = bytes.u16(directory + 12);
  const uint16_t numbered = bytes.u16(directory + 14);
  for (uint32_t i = 0; i < uint32_t{named} + numbered; ++i) {
    const uint64_t entry = directory + 16 + 8u * i;
    const uint32_t nameField = bytes.u32(entry);
    const uint32_t target = bytes.u32(entry + 4);
    PeResource next = leaf;
    std::string name;
    uint32_t id = 0;
    if (nameField & 0x80000000u) {
      name = resourceName(bytes, base, nameField & 0x7FFFFFFFu);
    } else {
      id = nameField;
    }
    if (level == 0) { next.typeId = id; next.typeName = name; }
    if (level == 1) { next.nameId = id; next.name = name; }
    if (level == 2) next.language = id;
    if (target & 0x80000000u) {
      walkResources(image, bytes, base, base + (target & 0x7FFFFFFFu), level + 1, next);
    } else {
      if (level != 2) throw Bytes::Bad{};
      const uint32_t rva = bytes.u32(base + target);
      const uint32_t size = bytes.u32(base + target + 4);
      const uint64_t at = fileOffset(image, rva, bytes);
      if (!bytes.has(at, size)) throw Bytes::Bad{};
      next.data.assign(bytes.data_.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.data_.begin() + static_cast<std::ptrdiff_t>(at + size));
      image.resources.push_back(std::move(next));
    }
  }
}

}  // namespace

std::optional<PeImage> parsePeImage(const std::vector<uint8_t>& data, std::string& error) {
  const Bytes bytes(data);
  PeImage image;
  try {
    if (bytes.u16(0) != 0x5A4D) { error = "no MZ signature"; return std::nullopt; }
    const uint32_t pe = bytes.u32(0x3C);
    if (bytes.u32(pe) != 0x00004550) { error = "no PE signature"; return std::nullopt; }
    image.machine = bytes.u16(pe + 4);
    const uint16_t sectionCount = bytes.u16(pe + 6);
    const uint16_t optionalSize = bytes.u16(pe + 20);
    const uint64_t optional = pe + 24;
    const uint16_t magic = bytes.u16(optional);
    if (magic != 0x10B && magic != 0x20B) { error = "unknown optional header"; return std::nullopt; }
    image.pe32Plus = magic == 0x20B;
    image.subsystem = bytes.u16(optional + 68);
    const uint64_t directories = optional + (image.pe32Plus ? 112 : 96);
    const uint64_t sectionTable = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
      const uint64_t s = sectionTable + 40u * i;
      if (!bytes.has(s, 40)) throw Bytes::Bad{};
      PeSection section;
      for (int c = 0; c < 8 && data[s + c] != 0; ++c) section.name += static_cast<char>(data[s + c]);
      section.virtualSize = bytes.u32(s + 8);
      section.virtualAddress = bytes.u32(s + 12);
      section.rawSize = bytes.u32(s + 16);
      section.rawOffset = bytes.u32(s + 20);
      image.sections.push_back(section);
    }
    const uint32_t importRva = bytes.u32(directories + 8);
    if (importRva != 0) {
      for (uint64_t d = fileOffset(image, importRva, bytes);; d += 20) {
        const uint32_t nameRva = bytes.u32(d + 12);
        if (nameRva == 0) break;
        image.importedDlls.push_back(asciiZ(bytes, fileOffset(image, nameRva, bytes)));
      }
    }
    const uint32_t resourceRva = bytes.u32(directories + 16);
    if (resourceRva != 0) {
      const uint64_t base = fileOffset(image, resourceRva, bytes);
      walkResources(image, bytes, base, base, 0, PeResource{});
    }
  } catch (const Bytes::Bad&) {
    error = "a structure lies outside the file";
    return std::nullopt;
  }
  return image;
}

const PeSection* sectionAtFileOffset(const PeImage& image, uint64_t offset) {
  for (const PeSection& s : image.sections) {
    if (offset >= s.rawOffset && offset - s.rawOffset < s.rawSize) return &s;
  }
  return nullptr;
}

std::optional<std::string> stringTableEntry(const PeImage& image, uint16_t id) {
  for (const PeResource& r : image.resources) {
    if (r.typeId != 6 || r.nameId != static_cast<uint32_t>(id / 16 + 1)) continue;
    size_t at = 0;
    for (int index = 0; index < 16; ++index) {
      if (at + 2 > r.data.size()) return std::nullopt;
      const size_t length = r.data[at] | (r.data[at + 1] << 8);
      at += 2;
      if (at + 2 * length > r.data.size()) return std::nullopt;
      if (index == id % 16) {
        if (length == 0) return std::nullopt;
        std::string text;
        for (size_t i = 0; i < length; ++i) text += static_cast<char>(r.data[at + 2 * i]);
        return text;
      }
      at += 2 * length;
    }
  }
  return std::nullopt;
}

}  // namespace kz::test
