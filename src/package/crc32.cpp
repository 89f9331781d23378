// CRC-32 by slicing: sixteen 256-entry tables derived from the byte table let the loop take
// sixteen bytes per step. The result is the same as the one-byte-per-step loop:
//   reg = table[(reg ^ byte) & 0xFF] ^ (reg >> 8).
#include "package/crc32.h"

#include <array>
#include <cstring>

namespace kz {
namespace {

using Tables = std::array<std::array<uint32_t, 256>, 16>;

constexpr Tables makeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t s = 1; s < 16; ++s) t[s][i] = t[0][t[s - 1][i] & 0xFFu] ^ (t[s - 1][i] >> 8);
  }
  return t;
}

constexpr Tables kTables = makeTables();

// Four bytes as a little-endian number, in one load on little-endian hosts.
inline uint32_t load32le(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  return v;
}

}  // namespace

uint32_t crc32Register(uint32_t reg, const uint8_t* data, size_t length) {
  const auto& t = kTables;
  while (length >= 16) {
    const uint32_t a = load32le(data) ^ reg;
    const uint32_t b = load32le(data + 4);
    const uint32_t c = load32le(data + 8);
    const uint32_t d = load32le(data + 12);
    reg = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
          t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
          t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
          t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    data += 16;
    length -= 16;
  }
  while (length-- != 0) reg = t[0][(reg ^ *data++) & 0xFFu] ^ (reg >> 8);
  return reg;
}

}  // namespace kz
