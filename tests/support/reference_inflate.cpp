// The reference inflate engine: the same rules as the fast one, written for reading, not speed.
#include "support/reference_inflate.h"

#include <cstdint>

#include "package/decoder_state.h"
#include "package/inflate.h"

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

  // Decodes one symbol; sets r to a result code when it cannot.
  const HuffmanEntry* lookup(const HuffmanEntry* t, unsigned m, int& r) {
    if (!need(m)) {
      r = kStopped;
      return nullptr;
    }
    if (t == nullptr) {
      r = 1;
      return nullptr;
    }
    const HuffmanEntry* e = t + bits(m);
    while (e->e > 16) {
      if (e->e == 99) {
        r = 1;
        return nullptr;
      }
      drop(e->b);
      const unsigned n = e->e - 16u;
      if (!need(n)) {
        r = kStopped;
        return nullptr;
      }
      e = e->v.t + bits(n);
    }
    drop(e->b);
    return e;
  }

  int codes(const HuffmanEntry* tl, const HuffmanEntry* td, unsigned bl, unsigned bd) {
    for (;;) {
      int r = 0;
      const HuffmanEntry* e = lookup(tl, bl, r);
      if (e == nullptr) return r;
      if (e->e == 16) {
        if (!put(static_cast<uint8_t>(e->v.n))) return kStopped;
        continue;
      }
      if (e->e == 15) return 0;
      if (!need(e->e)) return kStopped;
      uint32_t length = e->v.n + bits(e->e);
      drop(e->e);
      e = lookup(td, bd, r);
      if (e == nullptr) return r;
      if (!need(e->e)) return kStopped;
      const uint32_t distance = e->v.n + bits(e->e);
      drop(e->e);
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

  int withTables(const unsigned* lengths, unsigned nlit, unsigned ndist, unsigned bl, unsigned bd, bool fixed) {
    HuffmanEntry* tl = nullptr;
    HuffmanEntry* td = nullptr;
    int r = buildHuffmanTable(lengths, nlit, 257, kLengthBase, kLengthExtra, &tl, &bl);
    if (r != 0) {
      freeHuffmanTable(tl);
      return r;
    }
    r = buildHuffmanTable(lengths + nlit, ndist, 0, kDistBase, kDistExtra, &td, &bd);
    if (r > (fixed ? 1 : 0)) {
      freeHuffmanTable(td);
      freeHuffmanTable(tl);
      return r;
    }
    r = codes(tl, td, bl, bd);
    freeHuffmanTable(tl);
    freeHuffmanTable(td);
    return r == kStopped ? r : (r != 0 ? 1 : 0);
  }

  int fixed() {
    unsigned l[288 + 30];
    for (unsigned i = 0; i < 288; ++i) l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    for (unsigned i = 0; i < 30; ++i) l[288 + i] = 5;
    return withTables(l, 288, 30, 7, 5, true);
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
    HuffmanEntry* tc = nullptr;
    unsigned bc = 7;
    int r = buildHuffmanTable(l, 19, 19, nullptr, nullptr, &tc, &bc);
    if (r != 0) {
      freeHuffmanTable(tc);
      return r;
    }
    unsigned last = 0;
    for (unsigned i = 0; i < nl + nd;) {
      r = 0;
      const HuffmanEntry* e = lookup(tc, bc, r);
      if (e == nullptr) {
        freeHuffmanTable(tc);
        return r;
      }
      unsigned value = e->v.n, count = 0, fill = 0;
      if (value < 16) {
        l[i++] = last = value;
        continue;
      }
      const unsigned extra = value == 16 ? 2 : value == 17 ? 3 : 7;
      if (!need(extra)) {
        freeHuffmanTable(tc);
        return kStopped;
      }
      count = (value == 18 ? 11 : 3) + bits(extra);
      drop(extra);
      if (value == 16) fill = last;
      else last = 0;
      if (i + count > nl + nd) {
        freeHuffmanTable(tc);
        return 1;
      }
      while (count-- != 0) l[i++] = fill;
    }
    freeHuffmanTable(tc);
    // The distance lengths follow the literal/length lengths directly.
    return withTables(l, nl, nd, 9, 6, false);
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
