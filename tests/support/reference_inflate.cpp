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

// How a set of code lengths fills the code space. Unused codes of an incomplete set are invalid,
// and one code of length 1 alone counts as complete.
enum class CodeShape { Complete, Incomplete, OverSubscribed };

// The result of a block whose code set is not accepted.
InflateResult refused(CodeShape shape) {
  return shape == CodeShape::OverSubscribed ? InflateResult::BadBlock : InflateResult::Invalid;
}

CodeShape buildCode(const unsigned* lengths, unsigned n, unsigned lookupBits, Code& c) {
  c = Code{};
  for (unsigned i = 0; i < n; ++i) {
    if (lengths[i] > 16) return CodeShape::OverSubscribed;
    ++c.count[lengths[i]];
  }
  if (c.count[0] == n) return CodeShape::Complete;
  c.empty = false;
  unsigned shortest = 1;
  while (c.count[shortest] == 0) ++shortest;
  c.longest = 16;
  while (c.count[c.longest] == 0) --c.longest;
  c.first = lookupBits < shortest ? shortest : lookupBits > c.longest ? c.longest : lookupBits;
  // Kraft's sum in units of 2^-16 of the code space.
  uint32_t used = 0;
  for (unsigned len = 1; len <= 16; ++len) used += c.count[len] << (16 - len);
  if (used > 0x10000u) return CodeShape::OverSubscribed;
  unsigned offset[17] = {};
  for (unsigned len = 1; len < 16; ++len) offset[len + 1] = offset[len] + c.count[len];
  for (unsigned i = 0; i < n; ++i) {
    if (lengths[i] != 0) c.symbol[offset[lengths[i]]++] = i;
  }
  return (used < 0x10000u && c.longest != 1) ? CodeShape::Incomplete : CodeShape::Complete;
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

  // Decodes one symbol of c: Ok and the symbol, Invalid for an unused code or an empty set, or
  // Stopped.
  InflateResult decode(const Code& c, unsigned& out) {
    if (c.empty) return InflateResult::Invalid;
    if (!lookAhead(c.first)) return InflateResult::Stopped;
    uint32_t code = 0;   // the bits read so far, first bit most significant
    uint32_t firstCode = 0;  // the first code of the current length
    unsigned index = 0;  // the position of that code's symbol
    for (unsigned len = 1; len <= c.longest; ++len) {
      if (!need(len)) return InflateResult::Stopped;
      code |= (bb >> (len - 1)) & 1u;
      if (code - firstCode < c.count[len]) {
        out = c.symbol[index + (code - firstCode)];
        drop(len);
        return InflateResult::Ok;
      }
      index += c.count[len];
      firstCode = (firstCode + c.count[len]) << 1;
      code <<= 1;
    }
    return InflateResult::Invalid;
  }

  InflateResult codes(const Code& lit, const Code& dist) {
    for (;;) {
      unsigned symbol = 0;
      InflateResult r = decode(lit, symbol);
      if (r != InflateResult::Ok) return r;
      if (symbol < 256) {
        if (!put(static_cast<uint8_t>(symbol))) return InflateResult::Stopped;
        continue;
      }
      if (symbol == 256) return InflateResult::Ok;
      if (kLengthExtra[symbol - 257] == 99) return InflateResult::Invalid;  // 286 and 287
      const unsigned lengthExtra = kLengthExtra[symbol - 257];
      if (!need(lengthExtra)) return InflateResult::Stopped;
      uint32_t length = kLengthBase[symbol - 257] + bits(lengthExtra);
      drop(lengthExtra);
      r = decode(dist, symbol);
      if (r != InflateResult::Ok) return r;
      if (symbol >= 30) return InflateResult::Invalid;
      if (!need(kDistExtra[symbol])) return InflateResult::Stopped;
      const uint32_t distance = kDistBase[symbol] + bits(kDistExtra[symbol]);
      drop(kDistExtra[symbol]);
      uint32_t src = ctx.outputCount - distance;
      while (length-- != 0) {
        src &= 32767;
        if (!put(ctx.window[src++])) return InflateResult::Stopped;
      }
    }
  }

  InflateResult stored() {
    drop(bk & 7u);
    if (!need(16)) return InflateResult::Stopped;
    uint32_t n = bits(16);
    drop(16);
    if (!need(16)) return InflateResult::Stopped;
    if (n != (~bits(16) & 0xFFFFu)) return InflateResult::Invalid;
    drop(16);
    while (n-- != 0) {
      if (!need(8)) return InflateResult::Stopped;
      if (!put(static_cast<uint8_t>(bits(8)))) return InflateResult::Stopped;
      drop(8);
    }
    return InflateResult::Ok;
  }

  InflateResult withCodes(const unsigned* lengths, unsigned nlit, unsigned ndist, unsigned bl, unsigned bd,
                          bool fixed) {
    Code lit;
    Code dist;
    CodeShape shape = buildCode(lengths, nlit, bl, lit);
    if (shape != CodeShape::Complete) return refused(shape);
    shape = buildCode(lengths + nlit, ndist, bd, dist);
    // A fixed block's distance set is incomplete by design.
    if (shape != CodeShape::Complete && !(fixed && shape == CodeShape::Incomplete)) return refused(shape);
    const InflateResult r = codes(lit, dist);
    return r == InflateResult::Stopped ? r : (r != InflateResult::Ok ? InflateResult::Invalid : InflateResult::Ok);
  }

  InflateResult fixed() {
    unsigned l[288 + 30];
    for (unsigned i = 0; i < 288; ++i) l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    for (unsigned i = 0; i < 30; ++i) l[288 + i] = 5;
    return withCodes(l, 288, 30, 7, 5, true);
  }

  InflateResult dynamic() {
    if (!need(14)) return InflateResult::Stopped;
    const unsigned nl = 257 + bits(5);
    drop(5);
    const unsigned nd = 1 + bits(5);
    drop(5);
    const unsigned nc = 4 + bits(4);
    drop(4);
    if (nl > 286 || nd > 30) return InflateResult::Invalid;
    unsigned l[286 + 30] = {};
    for (unsigned j = 0; j < nc; ++j) {
      if (!need(3)) return InflateResult::Stopped;
      l[kOrder[j]] = bits(3);
      drop(3);
    }
    Code lengthCode;
    const CodeShape shape = buildCode(l, 19, 7, lengthCode);
    if (shape != CodeShape::Complete) return refused(shape);
    unsigned last = 0;
    for (unsigned i = 0; i < nl + nd;) {
      unsigned value = 0;
      const InflateResult r = decode(lengthCode, value);
      if (r != InflateResult::Ok) return r;
      unsigned count = 0, fill = 0;
      if (value < 16) {
        l[i++] = last = value;
        continue;
      }
      const unsigned extra = value == 16 ? 2 : value == 17 ? 3 : 7;
      if (!need(extra)) return InflateResult::Stopped;
      count = (value == 18 ? 11 : 3) + bits(extra);
      drop(extra);
      if (value == 16) fill = last;
      else last = 0;
      if (i + count > nl + nd) return InflateResult::Invalid;
      while (count-- != 0) l[i++] = fill;
    }
    // The distance lengths follow the literal/length lengths directly.
    return withCodes(l, nl, nd, 9, 6, false);
  }

  InflateResult run() {
    ctx.outputCount = 0;
    bool last = false;
    do {
      if (!need(3)) return InflateResult::Stopped;
      last = bits(1) != 0;
      const unsigned type = (bb >> 1) & 3u;
      drop(3);
      const InflateResult r = type == 0   ? stored()
                              : type == 1 ? fixed()
                              : type == 2 ? dynamic()
                                          : InflateResult::BadBlock;
      if (r != InflateResult::Ok) return r;
    } while (!last);
    while (bk >= 8) {
      bk -= 8;
      --ctx.inputIndex;
    }
    if (!detail::flushWindow()) {
      detail::failEntry(DecodeFailure::WriteError);
      return InflateResult::Stopped;
    }
    return InflateResult::Ok;
  }
};

}  // namespace

InflateResult referenceInflateMember() {
  Engine engine;
  return engine.run();
}

}  // namespace kz::test
