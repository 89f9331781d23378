// Locating and removing a PE file's certificate table.
#include "pe_signature.h"

namespace kz::tool {
namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;

uint16_t loadLittle16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

uint32_t loadLittle32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void storeLittle32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool readPeLayout(const std::vector<uint8_t>& file, PeLayout& layout, std::string& error) {
  layout = PeLayout{};
  const uint64_t size = file.size();
  if (size < 0x40 || file[0] != 'M' || file[1] != 'Z') return true;
  const uint64_t pe = loadLittle32(file.data() + 0x3C);
  if (pe + 24 > size || loadLittle32(file.data() + pe) != 0x00004550u) return true;
  const uint64_t optional = pe + 24;
  const uint16_t optionalSize = loadLittle16(file.data() + pe + 20);
  if (optional + 2 > size) return true;
  const uint16_t magic = loadLittle16(file.data() + optional);
  uint64_t countField = 0;
  if (magic == kPe32Magic) countField = 92;
  else if (magic == kPe32PlusMagic) countField = 108;
  else return true;
  if (countField + 4 > optionalSize || optional + countField + 4 > size) return true;
  layout.isPe = true;
  layout.checksumOffset = optional + 64;
  const uint32_t directories = loadLittle32(file.data() + optional + countField);
  const uint64_t entry = countField + 4 + 8ull * kSecurityDirectory;
  if (directories <= kSecurityDirectory || entry + 8 > optionalSize || optional + entry + 8 > size) return true;
  layout.securityEntryOffset = optional + entry;
  layout.certificateOffset = loadLittle32(file.data() + layout.securityEntryOffset);
  layout.certificateSize = loadLittle32(file.data() + layout.securityEntryOffset + 4);
  if (layout.signedFile() && uint64_t{layout.certificateOffset} + layout.certificateSize > size) {
    error = "its certificate table (offset " + std::to_string(layout.certificateOffset) + ", " +
            std::to_string(layout.certificateSize) + " bytes) lies outside the file";
    return false;
  }
  return true;
}

uint32_t peChecksum(const std::vector<uint8_t>& file, uint64_t checksumOffset) {
  uint64_t sum = 0;
  for (uint64_t i = 0; i < file.size(); i += 2) {
    if (i >= checksumOffset && i < checksumOffset + 4) continue;
    const uint32_t word = file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

bool withoutCertificateTable(const std::vector<uint8_t>& file, const PeLayout& layout, std::vector<uint8_t>& out,
                             std::string& error) {
  if (!layout.signedFile()) {
    out = file;
    return true;
  }
  // The table may be followed by the zero bytes that align it to 8; anything else is kept data.
  const uint64_t end = uint64_t{layout.certificateOffset} + layout.certificateSize;
  for (uint64_t i = end; i < file.size(); ++i) {
    if (file[i] != 0 || i >= end + 8) {
      error = "data follows its certificate table; cutting the file there would lose it";
      return false;
    }
  }
  out.assign(file.begin(), file.begin() + layout.certificateOffset);
  storeLittle32(out.data() + layout.securityEntryOffset, 0);
  storeLittle32(out.data() + layout.securityEntryOffset + 4, 0);
  if (loadLittle32(out.data() + layout.checksumOffset) != 0) {
    storeLittle32(out.data() + layout.checksumOffset, peChecksum(out, layout.checksumOffset));
  }
  return true;
}

}  // namespace kz::tool
