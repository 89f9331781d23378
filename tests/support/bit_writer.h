// Writes DEFLATE bit streams by hand for tests: fields least significant bit first, Huffman codes
// most significant bit first, as RFC 1951 packs them; with the canonical codes of a set of lengths
// and the order in which a dynamic block sends its code-length code lengths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kz::test {

inline constexpr unsigned kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

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
