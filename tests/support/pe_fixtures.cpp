// A minimal but loadable PE image: headers, one ".rsrc" section holding a three-level resource
// directory (RT_VERSION / 1 / 0x409) and a VS_VERSIONINFO block without children, then the payload.
#include "support/pe_fixtures.h"

#include <algorithm>
#include <cstring>

namespace kz::test {
namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kPeOffset = 0x40;

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}


uint32_t alignUp(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

// The resource tree and version block, laid out from the section's start.
std::vector<uint8_t> resourceData(uint64_t productVersion, uint64_t fileVersion, uint32_t& fixedInfo) {
  std::vector<uint8_t> r;
  // Root: one id entry, RT_VERSION (16), pointing to the name directory.
  put16(r, 14, 1);
  put32(r, 16, 16);
  put32(r, 20, 0x80000000u | 0x18);
  // Name directory at 0x18: id 1, pointing to the language directory.
  put16(r, 0x18 + 14, 1);
  put32(r, 0x18 + 16, 1);
  put32(r, 0x18 + 20, 0x80000000u | 0x30);
  // Language directory at 0x30: 0x409, pointing to the data entry (a leaf).
  put16(r, 0x30 + 14, 1);
  put32(r, 0x30 + 16, 0x409);
  put32(r, 0x30 + 20, 0x48);
  // Data entry at 0x48: the block's RVA and size.
  constexpr uint32_t block = 0x58;
  constexpr uint32_t blockSize = 40 + 52;
  put32(r, 0x48, kSectionRva + block);
  put32(r, 0x48 + 4, blockSize);
  // VS_VERSIONINFO: length, value length, type 0 (binary), key, padding to 4, VS_FIXEDFILEINFO.
  put16(r, block, blockSize);
  put16(r, block + 2, 52);
  put16(r, block + 4, 0);
  const char* key = "VS_VERSION_INFO";
  for (size_t i = 0; i <= std::strlen(key); ++i) put16(r, block + 6 + 2 * i, static_cast<uint8_t>(key[i]));
  fixedInfo = block + 40;
  put32(r, fixedInfo, 0xFEEF04BDu);
  put32(r, fixedInfo + 4, 0x00010000u);
  put32(r, fixedInfo + 8, static_cast<uint32_t>(fileVersion >> 32));
  put32(r, fixedInfo + 12, static_cast<uint32_t>(fileVersion));
  put32(r, fixedInfo + 16, static_cast<uint32_t>(productVersion >> 32));
  put32(r, fixedInfo + 20, static_cast<uint32_t>(productVersion));
  put32(r, fixedInfo + 24, 0x3F);     // file flags mask
  put32(r, fixedInfo + 32, 0x40004);  // VOS_NT_WINDOWS32
  put32(r, fixedInfo + 36, 1);        // VFT_APP
  r.resize(fixedInfo + 52);
  return r;
}

}  // namespace

PeFile buildPeFile(const PeOptions& options) {
  PeFile pe;
  std::vector<uint8_t>& b = pe.bytes;
  b.assign(kFileAlignment, 0);
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 0x3C, kPeOffset);
  b[kPeOffset] = 'P';
  b[kPeOffset + 1] = 'E';

  std::vector<uint8_t> section;
  uint32_t fixedInfo = 0;
  if (options.productVersion) section = resourceData(*options.productVersion, options.fileVersion, fixedInfo);
  const uint32_t resourceSize = static_cast<uint32_t>(section.size());
  section.resize(alignUp(static_cast<uint32_t>(section.size()), 16));
  const uint32_t payloadInSection = static_cast<uint32_t>(section.size());
  section.insert(section.end(), options.payload.begin(), options.payload.end());
  const uint32_t virtualSize = std::max<uint32_t>(static_cast<uint32_t>(section.size()), 1);
  const uint32_t rawSize = alignUp(virtualSize, kFileAlignment);
  section.resize(rawSize);

  // COFF header.
  const uint32_t coff = kPeOffset + 4;
  const uint16_t optionalSize = options.pe32Plus ? 240 : 224;
  put16(b, coff, options.pe32Plus ? 0x8664 : 0x14C);
  put16(b, coff + 2, 1);
  put16(b, coff + 16, optionalSize);
  put16(b, coff + 18, options.pe32Plus ? 0x0022 : 0x0102);  // executable, 32-bit or large-address aware

  // Optional header.
  const uint32_t opt = coff + 20;
  const uint32_t imageSize = kSectionRva + alignUp(virtualSize, kSectionAlignment);
  put16(b, opt, options.pe32Plus ? 0x20B : 0x10B);
  put32(b, opt + 8, rawSize);  // size of initialised data
  put32(b, opt + 20, kSectionRva);
  if (options.pe32Plus) {
    put32(b, opt + 24, 0x40000000u);  // image base, low half
    put32(b, opt + 28, 0x1);          // high half: 0x1'40000000
  } else {
    put32(b, opt + 24, kSectionRva);
    put32(b, opt + 28, 0x400000);
  }
  put32(b, opt + 32, kSectionAlignment);
  put32(b, opt + 36, kFileAlignment);
  put16(b, opt + 40, 4);
  put16(b, opt + 48, 4);
  put32(b, opt + 56, imageSize);
  put32(b, opt + 60, kFileAlignment);
  put16(b, opt + 68, 2);  // the Windows GUI subsystem
  const uint32_t sizes = 72;  // stack and heap sizes follow the subsystem fields
  if (options.pe32Plus) {
    put32(b, opt + sizes, 0x100000);
    put32(b, opt + sizes + 8, 0x1000);
    put32(b, opt + sizes + 16, 0x100000);
    put32(b, opt + sizes + 24, 0x1000);
  } else {
    put32(b, opt + sizes, 0x100000);
    put32(b, opt + sizes + 4, 0x1000);
    put32(b, opt + sizes + 8, 0x100000);
    put32(b, opt + sizes + 12, 0x1000);
  }
  const uint32_t countField = options.pe32Plus ? 108 : 92;
  put32(b, opt + countField, 16);
  if (options.productVersion) {
    put32(b, opt + countField + 4 + 16, kSectionRva);
    put32(b, opt + countField + 4 + 20, resourceSize);
  }

  // The one section header.
  const uint32_t sectionHeader = opt + optionalSize;
  std::memcpy(b.data() + sectionHeader, ".rsrc", 5);
  put32(b, sectionHeader + 8, virtualSize);
  put32(b, sectionHeader + 12, kSectionRva);
  put32(b, sectionHeader + 16, rawSize);
  put32(b, sectionHeader + 20, kFileAlignment);
  put32(b, sectionHeader + 36, 0x40000040u);  // initialised data, readable

  b.resize(kFileAlignment);
  b.insert(b.end(), section.begin(), section.end());
  pe.payloadOffset = kFileAlignment + payloadInSection;
  if (options.productVersion) {
    pe.fixedInfoOffset = kFileAlignment + fixedInfo;
    pe.resourceOffset = kFileAlignment;
  }
  return pe;
}

uint32_t get32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  put16(bytes, at, value & 0xFFFF);
  put16(bytes, at + 2, value >> 16);
}

}  // namespace kz::test
