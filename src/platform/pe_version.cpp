// The PE version-resource walk. Offsets are widened to 64 bits before any sum, so no check can
// be defeated by a 32-bit wrap-around.
#include "platform/pe_version.h"

namespace kz::platform {
namespace {

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kFixedFileInfoSize = 52;

// The bytes of the file, read little-endian with a bounds check on every access.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool has(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
  bool u16(uint64_t offset, uint16_t& out) const {
    if (!has(offset, 2)) return false;
    out = static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    return true;
  }
  bool u32(uint64_t offset, uint32_t& out) const {
    if (!has(offset, 4)) return false;
    out = static_cast<uint32_t>(data_[offset]) | (static_cast<uint32_t>(data_[offset + 1]) << 8) |
          (static_cast<uint32_t>(data_[offset + 2]) << 16) | (static_cast<uint32_t>(data_[offset + 3]) << 24);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

struct Section {
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
};

class PeImage {
 public:
  explicit PeImage(const Bytes& bytes) : bytes_(bytes) {}

  PeVersionStatus open(uint32_t& resourceRva) {
    uint16_t mz = 0;
    uint32_t peOffset = 0;
    uint32_t signature = 0;
    if (!bytes_.u16(0, mz) || mz != 0x5A4D || !bytes_.u32(0x3C, peOffset)) return PeVersionStatus::NotPe;
    if (!bytes_.u32(peOffset, signature) || signature != 0x00004550u) return PeVersionStatus::NotPe;
    const uint64_t coff = uint64_t{peOffset} + 4;
    uint16_t optionalSize = 0;
    if (!bytes_.u16(coff + 2, sectionCount_) || !bytes_.u16(coff + 16, optionalSize)) return PeVersionStatus::NotPe;
    const uint64_t optional = coff + 20;
    uint16_t magic = 0;
    if (!bytes_.u16(optional, magic)) return PeVersionStatus::NotPe;
    uint64_t countField = 0;
    if (magic == kPe32Magic) countField = 92;
    else if (magic == kPe32PlusMagic) countField = 108;
    else return PeVersionStatus::NotPe;
    uint32_t directoryCount = 0;
    if (countField + 4 > optionalSize || !bytes_.u32(optional + countField, directoryCount)) {
      return PeVersionStatus::NotPe;
    }
    sections_ = optional + optionalSize;
    const uint64_t entry = countField + 4 + 8ull * kResourceDirectoryIndex;
    // The resource entry must lie inside both the declared directories and the optional header.
    if (directoryCount <= kResourceDirectoryIndex || entry + 8 > optionalSize) return PeVersionStatus::NoResources;
    if (!bytes_.u32(optional + entry, resourceRva)) return PeVersionStatus::NotPe;
    return resourceRva == 0 ? PeVersionStatus::NoResources : PeVersionStatus::Found;
  }

  // The file offset of rva and the bytes of its section that follow it in the file.
  bool locate(uint32_t rva, uint64_t& offset, uint64_t& available) const {
    for (uint32_t i = 0; i < sectionCount_; ++i) {
      Section s;
      const uint64_t header = sections_ + uint64_t{i} * kSectionHeaderSize;
      if (!bytes_.u32(header + 12, s.virtualAddress) || !bytes_.u32(header + 16, s.rawSize) ||
          !bytes_.u32(header + 20, s.rawOffset)) {
        return false;
      }
      if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize) continue;
      const uint64_t delta = rva - s.virtualAddress;
      offset = uint64_t{s.rawOffset} + delta;
      available = s.rawSize - delta;
      return bytes_.has(offset, 0);
    }
    return false;
  }

 private:
  const Bytes& bytes_;
  uint16_t sectionCount_ = 0;
  uint64_t sections_ = 0;
};

// One level of the resource directory: the entry with id wanted, or the first entry when wanted is
// 0. Returns its raw OffsetToData field.
bool directoryEntry(const Bytes& bytes, uint64_t base, uint64_t limit, uint32_t directory, uint32_t wanted,
                    uint32_t& target) {
  uint16_t named = 0;
  uint16_t ids = 0;
  if (uint64_t{directory} + 16 > limit || !bytes.u16(base + directory + 12, named) ||
      !bytes.u16(base + directory + 14, ids)) {
    return false;
  }
  const uint32_t count = uint32_t{named} + ids;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t entry = uint64_t{directory} + 16 + 8ull * i;
    uint32_t name = 0;
    if (entry + 8 > limit || !bytes.u32(base + entry, name) || !bytes.u32(base + entry + 4, target)) return false;
    if (wanted == 0 || name == wanted) return true;
  }
  return false;
}

// The VS_VERSIONINFO root block: its key and the fixed record that is its value.
PeVersionStatus readVersionBlock(const Bytes& bytes, uint64_t offset, uint64_t size, FixedVersionInfo& info) {
  static constexpr char kKey[] = "VS_VERSION_INFO";
  uint16_t length = 0;
  uint16_t valueLength = 0;
  if (!bytes.u16(offset, length) || !bytes.u16(offset + 2, valueLength)) return PeVersionStatus::Malformed;
  const uint64_t block = length < size ? length : size;
  const uint64_t keyBytes = 2 * sizeof kKey;  // UTF-16 with its NUL
  for (uint64_t i = 0; i < sizeof kKey; ++i) {
    uint16_t c = 0;
    if (6 + 2 * i + 2 > block || !bytes.u16(offset + 6 + 2 * i, c)) return PeVersionStatus::Malformed;
    if (c != static_cast<unsigned char>(kKey[i])) return PeVersionStatus::Malformed;
  }
  const uint64_t value = (6 + keyBytes + 3) & ~uint64_t{3};
  uint32_t signature = 0;
  if (valueLength < kFixedFileInfoSize || value + kFixedFileInfoSize > block ||
      !bytes.u32(offset + value, signature) || signature != kFixedFileInfoSignature) {
    return PeVersionStatus::Malformed;
  }
  FixedVersionInfo read;
  if (!bytes.u32(offset + value + 8, read.fileVersionMS) || !bytes.u32(offset + value + 12, read.fileVersionLS) ||
      !bytes.u32(offset + value + 16, read.productVersionMS) ||
      !bytes.u32(offset + value + 20, read.productVersionLS)) {
    return PeVersionStatus::Malformed;
  }
  info = read;
  return PeVersionStatus::Found;
}

}  // namespace

PeVersionStatus readPeVersion(const uint8_t* data, size_t size, FixedVersionInfo& info) {
  if (data == nullptr) return PeVersionStatus::NotPe;
  const Bytes bytes(data, size);
  PeImage image(bytes);
  uint32_t resourceRva = 0;
  const PeVersionStatus opened = image.open(resourceRva);
  if (opened != PeVersionStatus::Found) return opened;
  uint64_t base = 0;
  uint64_t limit = 0;
  if (!image.locate(resourceRva, base, limit)) return PeVersionStatus::Malformed;
  if (limit > size - base) limit = size - base;

  // Type, then name, then language: the first two lead to sub-directories, the last to data.
  uint32_t target = 0;
  if (!directoryEntry(bytes, base, limit, 0, kRtVersion, target)) return PeVersionStatus::NoVersion;
  if ((target & kSubdirectoryBit) == 0) return PeVersionStatus::Malformed;
  if (!directoryEntry(bytes, base, limit, target & ~kSubdirectoryBit, 0, target) || (target & kSubdirectoryBit) == 0) {
    return PeVersionStatus::Malformed;
  }
  if (!directoryEntry(bytes, base, limit, target & ~kSubdirectoryBit, 0, target) || (target & kSubdirectoryBit) != 0) {
    return PeVersionStatus::Malformed;
  }
  uint32_t dataRva = 0;
  uint32_t dataSize = 0;
  if (uint64_t{target} + 16 > limit || !bytes.u32(base + target, dataRva) || !bytes.u32(base + target + 4, dataSize)) {
    return PeVersionStatus::Malformed;
  }
  uint64_t dataOffset = 0;
  uint64_t available = 0;
  if (!image.locate(dataRva, dataOffset, available) || dataSize > available ||
      !bytes.has(dataOffset, dataSize)) {
    return PeVersionStatus::Malformed;
  }
  return readVersionBlock(bytes, dataOffset, dataSize, info);
}

}  // namespace kz::platform
