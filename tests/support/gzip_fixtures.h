// Builds gzip members and PK entries for tests (zlib is the independent compressor), and runs one
// member through the updater's decoder exactly as the package reader does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/gzip_member.h"
#include "package/inflate.h"

namespace kz::test {

using Bytes = std::vector<uint8_t>;

// Raw DEFLATE data from zlib at the given level and strategy (Z_DEFAULT_STRATEGY, Z_FILTERED,
// Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED).
Bytes rawDeflate(const Bytes& data, int level, int strategy);
// A gzip member made by zlib's own gzip wrapper.
Bytes zlibGzip(const Bytes& data, int level, int strategy);

struct GzipHeaderOptions {
  uint8_t magic2 = 0x8B;
  uint8_t method = 8;
  uint8_t flags = 0;
  uint8_t os = 11;
  Bytes extra;            // written when flags has 0x04
  std::string name;       // written when flags has 0x08
  std::string comment;    // written when flags has 0x10
};

// A gzip member around raw DEFLATE data, with the trailer of the given uncompressed data.
Bytes wrapGzip(const Bytes& deflated, const Bytes& original, const GzipHeaderOptions& options = {});
// Only the header (no data, no trailer).
Bytes gzipHeader(const GzipHeaderOptions& options);
// The trailer: CRC-32 and length, little-endian.
Bytes gzipTrailer(uint32_t crc, uint32_t length);

struct PkEntryOptions {
  uint16_t method = 8;          // 0 stored, 8 deflated
  uint16_t flags = 0;           // 0x08: CRC and sizes in a descriptor after the data
  std::string name = "file.bin";
  Bytes extra;
  bool descriptorSignature = true;
  int level = 6;                // zlib's level and strategy for method 8
  int strategy = 0;             // Z_DEFAULT_STRATEGY
};
// A PKZIP local entry holding data (deflated by zlib for method 8).
Bytes pkEntry(const Bytes& data, const PkEntryOptions& options = {});

uint32_t crcOf(const Bytes& data);
void putLe32(Bytes& out, uint32_t v);
void putLe16(Bytes& out, uint16_t v);

// Test data of several kinds.
Bytes randomBytes(size_t size, uint32_t seed);
Bytes textBytes(size_t size, uint32_t seed);
Bytes runBytes(size_t size, uint32_t seed);
// Up to maxBytes taken from executables and libraries every Debian machine has.
Bytes systemBinaryBytes(size_t maxBytes);

struct MemberResult {
  MemberMethod header = MemberMethod::Refused;  // readMemberHeader's result
  MemberOutcome outcome = MemberOutcome::HeaderRefused;
  DecodeFailure failure = DecodeFailure::None;
  bool outputExists = false;
  Bytes output;
  uint32_t inputPosition = 0;  // where the memory input stands afterwards
  bool abortFlag = false;
};

// Decodes the member at the start of block with the given budget into outputPath with
// decodeMemberToFile, as the package reader does. block may hold more bytes than the budget.
MemberResult decodeMemberBytes(const Bytes& block, uint32_t budget, const std::string& outputPath);
inline MemberResult decodeMemberBytes(const Bytes& block, const std::string& outputPath) {
  return decodeMemberBytes(block, static_cast<uint32_t>(block.size()), outputPath);
}
// The same with the given inflate engine installed for the call (nullptr: the engine itself).
MemberResult decodeMemberBytesWith(InflateEngine engine, const Bytes& block, uint32_t budget,
                                   const std::string& outputPath);
// How two results of one member differ, "" when they agree on everything: the header's method and
// the outcome, the failure, the input read, whether the output exists, and its bytes.
std::string differenceBetween(const MemberResult& a, const MemberResult& b);

}  // namespace kz::test
