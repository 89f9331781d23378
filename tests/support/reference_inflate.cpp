// The reference inflate engine: the same rules as the fast one, written for reading, not speed.
// It shares no code with the engine under test, not even the building of Huffman codes: those are
// decoded here one bit at a time from their canonical form.
#include "support/reference_inflate.h"

#include <cstdint>

#include "package/decoder_state.h"

namespace kz::test {
namespace {

constexpr uint16_t kLengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                      35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr uint8_t kLengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,  2, 2,
                                      3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
constexpr int kStopped = 4;

// A canonical Huffman code as RFC 1951 3.2.2 defines it: the number of codes of each length and
// the symbols in code order (by length, then by symbol). Decoded one bit at a time.
struct Code {
  unsigned count[17] = {};
  unsigned symbol[320] = {};
  unsigned longest = 0;
  // Bits read before the first decision: the requested lookup width, raised to the shortest length
  // and lowered to the longest, so that the same input bytes are asked for as by a table lookup.
  unsigned first = 0;
  bool empty = true;
};

// 0: complete; 1: incomplete (unused codes are invalid, and one code of length 1 alone counts as
// complete); 2: over-subscribed.
int buildCode(const unsigned* lengths, unsigned n, unsigned lookupBits, Code& c) {
  c = Code{};
  for (unsigned i = 0; i < n; ++i) {
    if (lengths[i] > 16) return 2;
    ++c.count[lengths[i]];
  }
  if (c.count[0] == n) return 0;
  c.empty = false;
  unsigned shortest = 1;
  while (c.count[shortest] == 0) ++shortest;
  c.longest = 16;
  while (c.count[c.longest] == 0) --c.longest;
  c.first = lookupBits < shortest ? shortest : lookupBits > c.longest ? c.longest : lookupBits;
  // Kraft's sum in units of 2^-16 of the code space.
  uint32_t used = 0;
  for (unsigned len = 1; len <= 16; ++len) used += c.count[len] << (16 - len);
  if (used > 0x10000u) return 2;
  unsigned offset[17] = {};
  for (unsigned len = 1; len < 16; ++len) offset[len + 1] = offset[len] + c.count[len];
  for (unsigned i = 0; i < n; ++i) {
    if (lengths[i] != 0) c.symbol[offset[lengths[i]]++] = i;
  }
  return (used < 0x10000u && c.longest != 1) ? 1 : 0;
}

struct Engine {
  uint32_t bb = 0;  // bit buffer
  unsigned bk = 0;  // bits in it
  ReaderContext& ctx = *currentReader();

  bool need(unsigned n) {
    while (bk < n) {
      const int c = detail::nextInputByte();
      if (c < 0) return false;
      bb |= static_cast<uint32_t>(c) << bk;
      bk += 8;
    }
    return true;
  }
  // The bits a table lookup looks at before its code is resolved: read while the member has input
  // left, zeros past its last byte (only the code's own bits must be there).
  bool lookAhead(unsigned n) {
    while (bk < n) {
      if (ctx.inputIndex >= detail::decoder().inputCount && !detail::inputLeft()) return true;
      if (!need(bk + 8)) return false;
    }
    return true;
  }
  void drop(unsigned n) {
    bb >>= n;
    bk -= n;
  }
  uint32_t bits(unsigned n) const { return bb & ((1u << n) - 1); }
  bool put(uint8_t byte) {
    ctx.window[ctx.outputCount++] = byte;
    if (ctx.outputCount == 32768 && !detail::flushWindow()) {
      detail::failEntry(DecodeFailure::WriteError);
      return false;
    }
    return true;
  }

  // Decodes one symbol of c: 0 and the symbol, 1 for an unused code or an empty set, or stopped.
  int decode(const Code& c, unsigned& out) {
    if (c.empty) return 1;
    if (!lookAhead(c.first)) return kStopped;
    uint32_t code = 0;   // the bits read so far, first bit most significant
    uint32_t firstCode = 0;  // the first code of the current length
    unsigned index = 0;  // the position of that code's symbol
    for (unsigned len = 1; len <= c.longest; ++len) {
      if (!need(len)) return kStopped;
      code |= (bb >> (len - 1)) & 1u;
      if (code - firstCode < c.count[len]) {
        out = c.symbol[index + (code - firstCode)];
        drop(len);
        return 0;
      }
      index += c.count[len];
      firstCode = (firstCode + c.count[len]) << 1;
      code <<= 1;
    }
    return 1;
  }

  int codes(const Code& lit, const Code& dist) {
    for (;;) {
      unsigned symbol = 0;
      int r = decode(lit, symbol);
      if (r != 0) return r;
      if (symbol < 256) {
        if (!put(static_cast<uint8_t>(symbol))) return kStopped;
        continue;
      }
      if (symbol == 256) return 0;
      if (kLengthExtra[symbol - 257] == 99) return 1;  // 286 and 287
      const unsigned lengthExtra = kLengthExtra[symbol - 257];
      if (!need(lengthExtra)) return kStopped;
      uint32_t length = kLengthBase[symbol - 257] + bits(lengthExtra);
      drop(lengthExtra);
      r = decode(dist, symbol);
      if (r != 0) return r;
      if (symbol >= 30) return 1;
      if (!need(kDistExtra[symbol])) return kStopped;
      const uint32_t distance = kDistBase[symbol] + bits(kDistExtra[symbol]);
      drop(kDistExtra[symbol]);
      uint32_t src = ctx.outputCount - distance;
      while (length-- != 0) {
        src &= 32767;
        if (!put(ctx.window[src++])) return kStopped;
      }
    }
  }

  int stored() {
    drop(bk & 7u);
    if (!need(16)) return kStopped;
    uint32_t n = bits(16);
    drop(16);
    if (!need(16)) return kStopped;
    if (n != (~bits(16) & 0xFFFFu)) return 1;
    drop(16);
    while (n-- != 0) {
      if (!need(8)) return kStopped;
      if (!put(static_cast<uint8_t>(bits(8)))) return kStopped;
      drop(8);
    }
    return 0;
  }

  int withCodes(const unsigned* lengths, unsigned nlit, unsigned ndist, unsigned bl, unsigned bd, bool fixed) {
    Code lit;
    Code dist;
    int r = buildCode(lengths, nlit, bl, lit);
    if (r != 0) return r;
    r = buildCode(lengths + nlit, ndist, bd, dist);
    if (r > (fixed ? 1 : 0)) return r;  // a fixed block's distance set is incomplete by design
    r = codes(lit, dist);
    return r == kStopped ? r : (r != 0 ? 1 : 0);
  }

  int fixed() {
    unsigned l[288 + 30];
    for (unsigned i = 0; i < 288; ++i) l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    for (unsigned i = 0; i < 30; ++i) l[288 + i] = 5;
    return withCodes(l, 288, 30, 7, 5, true);
  }

  int dynamic() {
    if (!need(14)) return kStopped;
    const unsigned nl = 257 + bits(5);
    drop(5);
    const unsigned nd = 1 + bits(5);
    drop(5);
    const unsigned nc = 4 + bits(4);
    drop(4);
    if (nl > 286 || nd > 30) return 1;
    unsigned l[286 + 30] = {};
    for (unsigned j = 0; j < nc; ++j) {
      if (!need(3)) return kStopped;
      l[kOrder[j]] = bits(3);
      drop(3);
    }
    Code lengthCode;
    int r = buildCode(l, 19, 7, lengthCode);
    if (r != 0) return r;
    unsigned last = 0;
    for (unsigned i = 0; i < nl + nd;) {
      unsigned value = 0;
      r = decode(lengthCode, value);
      if (r != 0) return r;
      unsigned count = 0, fill = 0;
      if (value < 16) {
        l[i++] = last = value;
        continue;
      }
      const unsigned extra = value == 16 ? 2 : value == 17 ? 3 : 7;
      if (!need(extra)) return kStopped;
      count = (value == 18 ? 11 : 3) + bits(extra);
      drop(extra);
      if (value == 16) fill = last;
      else last = 0;
      if (i + count > nl + nd) return 1;
      while (count-- != 0) l[i++] = fill;
    }
    // The distance lengths follow the literal/length lengths directly.
    return withCodes(l, nl, nd, 9, 6, false);
  }

  int run() {
    ctx.outputCount = 0;
    bool last = false;
    do {
      if (!need(3)) return kStopped;
      last = bits(1) != 0;
      const unsigned type = (bb >> 1) & 3u;
      drop(3);
      const int r = type == 0 ? stored() : type == 1 ? fixed() : type == 2 ? dynamic() : 2;
      if (r != 0) return r;
    } while (!last);
    while (bk >= 8) {
      bk -= 8;
      --ctx.inputIndex;
    }
    if (!detail::flushWindow()) {
      detail::failEntry(DecodeFailure::WriteError);
      return kStopped;
    }
    return 0;
  }
};

}  // namespace

int referenceInflateMember() {
  Engine engine;
  return engine.run();
}

}  // namespace kz::test
