// CRC-32 by slicing: eight 256-entry tables derived from the byte table let the loop take eight
// bytes per step. The result is the same as the one-byte-per-step loop:
//   reg = table[(reg ^ byte) & 0xFF] ^ (reg >> 8).
#include "package/crc32.h"

#include <array>

namespace kz {
namespace {

using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables makeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t s = 1; s < 8; ++s) t[s][i] = t[0][t[s - 1][i] & 0xFFu] ^ (t[s - 1][i] >> 8);
  }
  return t;
}

constexpr Tables kTables = makeTables();

inline uint32_t load32le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

uint32_t crc32Register(uint32_t reg, const uint8_t* data, size_t length) {
  const auto& t = kTables;
  while (length >= 8) {
    const uint32_t a = load32le(data) ^ reg;
    const uint32_t b = load32le(data + 4);
    reg = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
          t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
    data += 8;
    length -= 8;
  }
  while (length-- != 0) reg = t[0][(reg ^ *data++) & 0xFFu] ^ (reg >> 8);
  return reg;
}

}  // namespace kz
