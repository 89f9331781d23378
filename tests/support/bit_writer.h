// Writes DEFLATE bit streams by hand for tests: fields least significant bit first, Huffman codes
// most significant bit first, as RFC 1951 packs them; with the canonical codes of a set of lengths
// and the order in which a dynamic block sends its code-length code lengths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kz::test {

inline constexpr unsigned kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The base and extra bits of length symbols 257..285 and of distance symbols 0..29.
inline constexpr unsigned kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr unsigned kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
inline constexpr unsigned kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                           33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr unsigned kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Canonical codes for a list of code lengths, as RFC 1951 assigns them. Any list is accepted: one
// that is over-subscribed gives some codes that share their bits.
inline std::vector<uint32_t> canonicalCodes(const std::vector<unsigned>& lengths) {
  unsigned count[17] = {};
  for (unsigned l : lengths) ++count[l];
  count[0] = 0;
  uint32_t next[17] = {};
  uint32_t code = 0;
  for (unsigned bits = 1; bits <= 16; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  std::vector<uint32_t> codes(lengths.size());
  for (size_t i = 0; i < lengths.size(); ++i) {
    if (lengths[i] != 0) codes[i] = next[lengths[i]]++ & ((1u << lengths[i]) - 1);
  }
  return codes;
}

class BitWriter {
 public:
  // Appends the low n bits of value, least significant first (header fields, extra bits).
  void bits(uint32_t value, unsigned n) {
    for (unsigned i = 0; i < n; ++i) bit((value >> i) & 1u);
  }
  // Appends a Huffman code of n bits, most significant first.
  void code(uint32_t value, unsigned n) {
    for (unsigned i = n; i-- > 0;) bit((value >> i) & 1u);
  }
  void alignToByte() {
    while (used_ != 0) bit(0);
  }
  void byte(uint8_t b) { bits(b, 8); }
  // A block's first three bits: the final flag and the type (0 stored, 1 fixed, 2 dynamic, 3 none).
  void blockHeader(bool final, unsigned type) {
    bits(final ? 1 : 0, 1);
    bits(type, 2);
  }
  // Fixed-code literal/length symbol 0..287.
  void fixedSymbol(unsigned symbol) {
    if (symbol < 144) code(0x30 + symbol, 8);
    else if (symbol < 256) code(0x190 + symbol - 144, 9);
    else if (symbol < 280) code(symbol - 256, 7);
    else code(0xC0 + symbol - 280, 8);
  }
  // Fixed-code distance symbol 0..31 (5 bits).
  void fixedDistance(unsigned symbol) { code(symbol, 5); }

  std::vector<uint8_t> finish() {
    alignToByte();
    return bytes_;
  }

 private:
  void bit(uint32_t b) {
    if (used_ == 0) bytes_.push_back(0);
    bytes_.back() = static_cast<uint8_t>(bytes_.back() | (b << used_));
    used_ = (used_ + 1) & 7u;
  }
  std::vector<uint8_t> bytes_;
  unsigned used_ = 0;
};

}  // namespace kz::test
