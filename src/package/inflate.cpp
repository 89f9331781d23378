// The inflate engine: stored, fixed-code and dynamic-code blocks of RFC 1951, table-driven.
//
// Bit reader. Bits are taken from the low end of a 64-bit buffer; bitCount says how many are
// valid and every bit above them is zero. "Needing n bits" first takes bytes already in the input
// buffer, and refills the input only when the bits needed lie beyond its end, exactly where a
// reader that takes one byte at a time would refill. The extra look-ahead is therefore only bytes
// already delivered, and at the end of the stream every whole byte of look-ahead is given back to
// the input, so the trailer is read from the first byte after the deflate data.
//
// Window. The window position is the decoder's output count, 0 to 32,768; the window is flushed
// when it fills and once more at the end. A match's source index wraps within the window; the
// engine does not compare a distance with the output produced so far, so a corrupt distance copies
// stale bytes and the member then fails its CRC check.
//
// States of one stream:
//   start -> block header -> (stored | fixed | dynamic) -> block header ... -> last block done
//         -> look-ahead given back -> final flush -> done
// Any invalid data ends the stream with a result code; an input that ends or a flush that fails
// aborts the entry and ends it with kInflateStopped.
#include "package/inflate.h"

#include <cstdlib>
#include <cstring>

#include "package/decoder_state.h"
#include "package/gzip_constants.h"

namespace kz {
namespace {

constexpr uint32_t kWindow = gzip::kWindowSize;
constexpr unsigned kMaxBits = 16;
constexpr unsigned kLitLenBits = 9;
constexpr unsigned kDistBits = 6;
constexpr unsigned kFixedLitLenBits = 7;
constexpr unsigned kFixedDistBits = 5;
constexpr unsigned kCodeLengthBits = 7;
constexpr uint32_t kMaxMatch = 258;

// Bases and extra bits of length codes 257..287; 286 and 287 decode as invalid codes.
constexpr uint16_t kLengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                      35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr uint8_t kLengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,  2, 2,
                                      3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
// Bases and extra bits of distance codes 0..29.
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
constexpr uint32_t kMask[17] = {0x0000, 0x0001, 0x0003, 0x0007, 0x000f, 0x001f, 0x003f, 0x007f, 0x00ff,
                                0x01ff, 0x03ff, 0x07ff, 0x0fff, 0x1fff, 0x3fff, 0x7fff, 0xffff};

TableAllocator g_allocator = nullptr;

void* allocateBlock(size_t bytes) { return g_allocator != nullptr ? g_allocator(bytes) : std::malloc(bytes); }

// Eight input bytes as a little-endian number, in one load on little-endian hosts.
inline uint64_t load64le(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

// Frees the trees of one block on every path out of it.
class TablePair {
 public:
  TablePair() = default;
  ~TablePair() {
    freeHuffmanTable(lit);
    freeHuffmanTable(dist);
  }
  TablePair(const TablePair&) = delete;
  TablePair& operator=(const TablePair&) = delete;
  HuffmanEntry* lit = nullptr;
  HuffmanEntry* dist = nullptr;
};

// One stream's engine: the hot state lives in members and is written back to the reader context
// and the decoder's globals around every call that reads or writes them.
class Inflater {
 public:
  explicit Inflater(ReaderContext& ctx)
      : ctx_(ctx), g_(detail::decoder()), window_(ctx.window), in_(ctx.inputBuffer) {}

  int run() {
    pos_ = 0;
    bits_ = 0;
    bitCount_ = 0;
    index_ = ctx_.inputIndex;
    count_ = g_.inputCount;
    bool last = false;
    do {
      const int r = inflateBlock(last);
      if (r != kInflateOk) {
        syncOut();
        return r;
      }
    } while (!last);
    while (bitCount_ >= 8) {
      bitCount_ -= 8;
      --index_;
    }
    bits_ = 0;
    syncOut();
    ctx_.outputCount = pos_;
    if (!detail::flushWindow()) {
      detail::failEntry(DecodeFailure::WriteError);
      return kInflateStopped;
    }
    return kInflateOk;
  }

 private:
  void syncOut() {
    ctx_.inputIndex = index_;
    g_.bitBuffer = bits_;
    g_.bitCount = bitCount_;
  }

  // Takes the bytes already in the input buffer; refills only when the n bits lie beyond it.
  bool need(unsigned n) {
    if (bitCount_ >= n) return true;
    return needSlow(n);
  }

  bool needSlow(unsigned n) {
    for (;;) {
      while (index_ < count_ && bitCount_ <= 56) {
        bits_ |= static_cast<uint64_t>(in_[index_++]) << bitCount_;
        bitCount_ += 8;
      }
      if (bitCount_ >= n) return true;
      ctx_.inputIndex = index_;
      const int c = detail::refillInput();
      if (c < 0) return false;
      index_ = ctx_.inputIndex;
      count_ = g_.inputCount;
      bits_ |= static_cast<uint64_t>(c) << bitCount_;
      bitCount_ += 8;
    }
  }

  uint32_t peek(unsigned n) const { return static_cast<uint32_t>(bits_) & kMask[n]; }
  void drop(unsigned n) {
    bits_ >>= n;
    bitCount_ -= n;
  }

  bool flush() {
    ctx_.outputCount = pos_;
    ctx_.inputIndex = index_;
    if (!detail::flushWindow()) {
      detail::failEntry(DecodeFailure::WriteError);
      return false;
    }
    pos_ = 0;
    return true;
  }

  int inflateBlock(bool& last) {
    if (!need(1)) return kInflateStopped;
    last = (bits_ & 1u) != 0;
    drop(1);
    if (!need(2)) return kInflateStopped;
    const unsigned type = peek(2);
    drop(2);
    switch (type) {
      case 0: return inflateStored();
      case 1: return inflateFixed();
      case 2: return inflateDynamic();
      default: return kInflateBadBlock;
    }
  }

  int inflateStored() {
    drop(bitCount_ & 7u);
    if (!need(16)) return kInflateStopped;
    uint32_t length = peek(16);
    drop(16);
    if (!need(16)) return kInflateStopped;
    const uint32_t complement = peek(16);
    drop(16);
    if (length != (~complement & 0xFFFFu)) return kInflateInvalid;
    // Whole bytes still in the bit buffer come first, then the input buffer directly.
    while (length != 0 && bitCount_ >= 8) {
      window_[pos_++] = static_cast<uint8_t>(bits_);
      drop(8);
      --length;
      if (pos_ == kWindow && !flush()) return kInflateStopped;
    }
    while (length != 0) {
      if (index_ == count_) {
        ctx_.inputIndex = index_;
        const int c = detail::refillInput();
        if (c < 0) return kInflateStopped;
        index_ = ctx_.inputIndex;
        count_ = g_.inputCount;
        window_[pos_++] = static_cast<uint8_t>(c);
        --length;
      } else {
        uint32_t n = count_ - index_;
        if (n > length) n = length;
        if (n > kWindow - pos_) n = kWindow - pos_;
        std::memcpy(window_ + pos_, in_ + index_, n);
        index_ += n;
        pos_ += n;
        length -= n;
      }
      if (pos_ == kWindow && !flush()) return kInflateStopped;
    }
    return kInflateOk;
  }

  int inflateFixed() {
    unsigned lengths[288];
    for (unsigned i = 0; i < 144; ++i) lengths[i] = 8;
    for (unsigned i = 144; i < 256; ++i) lengths[i] = 9;
    for (unsigned i = 256; i < 280; ++i) lengths[i] = 7;
    for (unsigned i = 280; i < 288; ++i) lengths[i] = 8;
    TablePair tables;
    unsigned bl = kFixedLitLenBits;
    int r = buildHuffmanTable(lengths, 288, 257, kLengthBase, kLengthExtra, &tables.lit, &bl);
    if (r != 0) return r;
    for (unsigned i = 0; i < 30; ++i) lengths[i] = 5;
    unsigned bd = kFixedDistBits;
    r = buildHuffmanTable(lengths, 30, 0, kDistBase, kDistExtra, &tables.dist, &bd);
    if (r > 1) return r;
    r = inflateCodes(tables.lit, tables.dist, bl, bd);
    if (r == kInflateStopped) return r;
    return r != 0 ? kInflateInvalid : kInflateOk;
  }

  int inflateDynamic() {
    if (!need(5)) return kInflateStopped;
    const unsigned nlit = 257 + peek(5);
    drop(5);
    if (!need(5)) return kInflateStopped;
    const unsigned ndist = 1 + peek(5);
    drop(5);
    if (!need(4)) return kInflateStopped;
    const unsigned ncode = 4 + peek(4);
    drop(4);
    if (nlit > 286 || ndist > 30) return kInflateInvalid;

    unsigned lengths[286 + 30];
    for (unsigned j = 0; j < ncode; ++j) {
      if (!need(3)) return kInflateStopped;
      lengths[kCodeLengthOrder[j]] = peek(3);
      drop(3);
    }
    for (unsigned j = ncode; j < 19; ++j) lengths[kCodeLengthOrder[j]] = 0;

    TablePair tables;
    unsigned bl = kCodeLengthBits;
    int r = buildHuffmanTable(lengths, 19, 19, nullptr, nullptr, &tables.lit, &bl);
    if (r != 0) return r;  // an incomplete table is freed with the pair

    const unsigned total = nlit + ndist;
    unsigned last = 0;
    for (unsigned i = 0; i < total;) {
      if (!need(bl)) return kInflateStopped;
      if (tables.lit == nullptr) return kInflateInvalid;
      const HuffmanEntry& entry = tables.lit[peek(bl)];
      if (entry.e == kEntryInvalid) return kInflateInvalid;
      drop(entry.b);
      const unsigned code = entry.v.n;
      unsigned repeat = 0;
      unsigned value = 0;
      if (code < 16) {
        lengths[i++] = last = code;
        continue;
      }
      if (code == 16) {
        if (!need(2)) return kInflateStopped;
        repeat = 3 + peek(2);
        drop(2);
        value = last;
      } else if (code == 17) {
        if (!need(3)) return kInflateStopped;
        repeat = 3 + peek(3);
        drop(3);
        last = 0;
      } else {
        if (!need(7)) return kInflateStopped;
        repeat = 11 + peek(7);
        drop(7);
        last = 0;
      }
      if (i + repeat > total) return kInflateInvalid;
      while (repeat-- != 0) lengths[i++] = value;
    }
    freeHuffmanTable(tables.lit);
    tables.lit = nullptr;

    bl = kLitLenBits;
    r = buildHuffmanTable(lengths, nlit, 257, kLengthBase, kLengthExtra, &tables.lit, &bl);
    if (r != 0) return r;
    unsigned bd = kDistBits;
    r = buildHuffmanTable(lengths + nlit, ndist, 0, kDistBase, kDistExtra, &tables.dist, &bd);
    if (r != 0) return r;  // unlike a fixed block, an incomplete distance set is refused
    r = inflateCodes(tables.lit, tables.dist, bl, bd);
    if (r == kInflateStopped) return r;
    return r != 0 ? kInflateInvalid : kInflateOk;
  }

  // Copies a match of length bytes from distance back, splitting it at the window's end.
  bool copyMatch(uint32_t length, uint32_t distance) {
    uint32_t src = pos_ - distance;
    do {
      src &= kWindow - 1;
      uint32_t chunk = kWindow - (src > pos_ ? src : pos_);
      if (chunk > length) chunk = length;
      length -= chunk;
      if (pos_ - src >= chunk) {
        std::memmove(window_ + pos_, window_ + src, chunk);
        pos_ += chunk;
        src += chunk;
      } else {
        // Overlapping: each byte may be one this copy has just written.
        uint8_t* dst = window_ + pos_;
        const uint8_t* from = window_ + src;
        for (uint32_t k = 0; k < chunk; ++k) dst[k] = from[k];
        pos_ += chunk;
        src += chunk;
      }
      if (pos_ == kWindow && !flush()) return false;
    } while (length != 0);
    return true;
  }

  // The common case: the match lies wholly behind the position and ends before the window does.
  // Only the match's own bytes are written: the window bytes after it are history still in reach.
  static void copyNear(uint8_t* dst, uint32_t length, uint32_t distance) {
    const uint8_t* from = dst - distance;
    if (distance >= 8 && length >= 8) {
      // Eight bytes at a time never read a byte this copy has not written yet; the last chunk
      // ends exactly at the match's end, overlapping the one before it.
      const uint8_t* const last = from + length - 8;
      uint8_t* const lastDst = dst + length - 8;
      while (from < last) {
        std::memcpy(dst, from, 8);
        dst += 8;
        from += 8;
      }
      std::memcpy(lastDst, last, 8);
    } else if (distance >= 4 && length >= 4) {
      std::memcpy(dst, from, 4);
      for (uint32_t k = 4; k + 4 <= length; k += 4) std::memcpy(dst + k, from + k, 4);
      std::memcpy(dst + length - 4, from + length - 4, 4);
    } else if (distance == 1) {
      std::memset(dst, *from, length);
    } else {
      while (length-- != 0) *dst++ = *from++;
    }
  }

  static constexpr int kLeaveFastPath = -1;

  // Follows link entries into their sub-tables; false at an invalid code.
  static bool followLinks(const HuffmanEntry*& t, unsigned& e, uint64_t& bits, unsigned& bitCount) {
    while (e > kEntryLiteral) {
      if (e == kEntryInvalid) return false;
      bits >>= t->b;
      bitCount -= t->b;
      t = t->v.t + (static_cast<uint32_t>(bits) & kMask[e - 16]);
      e = t->e;
    }
    return true;
  }

  // Fast path: while at least 8 input bytes are in the buffer and the window has room for the
  // longest match, a literal or match needs at most 48 bits, which one refill from the buffer
  // provides, and cannot reach the window's end. The hot state is kept in locals so that stores
  // into the window cannot force it back to memory. Leaves with kLeaveFastPath when the careful
  // path must take over, or with the block's result.
  int fastCodes(const HuffmanEntry* tl, const HuffmanEntry* td, uint32_t ml, uint32_t md) {
    uint64_t bits = bits_;
    unsigned bitCount = bitCount_;
    uint32_t index = index_;
    uint32_t pos = pos_;
    if (count_ < 8) return kLeaveFastPath;
    const uint32_t inLimit = count_ - 8;
    const uint8_t* const in = in_;
    uint8_t* const window = window_;
    int result = kLeaveFastPath;
    while (index <= inLimit && pos < kWindow - kMaxMatch) {
      if (bitCount < 48) {
        const unsigned take = (63 - bitCount) >> 3;
        bits |= (load64le(in + index) & ((uint64_t{1} << (take * 8)) - 1)) << bitCount;
        index += take;
        bitCount += take * 8;
      }
      const HuffmanEntry* t = tl + (static_cast<uint32_t>(bits) & ml);
      unsigned e = t->e;
      // A run of literals resolved at the first level goes on while 48 bits remain, so that a
      // match that ends the run still has every bit it needs.
      bool refillFirst = false;
      while (e == kEntryLiteral) {
        bits >>= t->b;
        bitCount -= t->b;
        window[pos++] = static_cast<uint8_t>(t->v.n);
        if (bitCount < 48 || pos >= kWindow - kMaxMatch) {
          refillFirst = true;
          break;
        }
        t = tl + (static_cast<uint32_t>(bits) & ml);
        e = t->e;
      }
      if (refillFirst) continue;
      if (!followLinks(t, e, bits, bitCount)) {
        result = kInflateInvalid;
        break;
      }
      bits >>= t->b;
      bitCount -= t->b;
      if (e == kEntryLiteral) {
        window[pos++] = static_cast<uint8_t>(t->v.n);
        continue;
      }
      if (e == kEntryEndOfBlock) {
        result = kInflateOk;
        break;
      }
      const uint32_t length = t->v.n + (static_cast<uint32_t>(bits) & kMask[e]);
      bits >>= e;
      bitCount -= e;
      if (td == nullptr) {
        result = kInflateInvalid;
        break;
      }
      t = td + (static_cast<uint32_t>(bits) & md);
      e = t->e;
      if (!followLinks(t, e, bits, bitCount)) {
        result = kInflateInvalid;
        break;
      }
      bits >>= t->b;
      bitCount -= t->b;
      const uint32_t distance = t->v.n + (static_cast<uint32_t>(bits) & kMask[e]);
      bits >>= e;
      bitCount -= e;
      if (distance <= pos) {
        copyNear(window + pos, length, distance);
        pos += length;
      } else {
        // The source wraps around the window's end: the general copy, which may flush.
        bits_ = bits;
        bitCount_ = bitCount;
        index_ = index;
        pos_ = pos;
        if (!copyMatch(length, distance)) return kInflateStopped;
        pos = pos_;
      }
    }
    bits_ = bits;
    bitCount_ = bitCount;
    index_ = index;
    pos_ = pos;
    return result;
  }

  // Looks up one code in table (m first-level bits), following links, and drops its bits. An
  // empty table or an invalid code is invalid data.
  int decodeSymbol(const HuffmanEntry* table, unsigned m, const HuffmanEntry*& out) {
    if (!need(m)) return kInflateStopped;
    if (table == nullptr) return kInflateInvalid;
    const HuffmanEntry* t = table + peek(m);
    unsigned e = t->e;
    while (e > kEntryLiteral) {
      if (e == kEntryInvalid) return kInflateInvalid;
      drop(t->b);
      e -= 16;
      if (!need(e)) return kInflateStopped;
      t = t->v.t + peek(e);
      e = t->e;
    }
    drop(t->b);
    out = t;
    return kInflateOk;
  }

  int inflateCodes(const HuffmanEntry* tl, const HuffmanEntry* td, unsigned bl, unsigned bd) {
    const uint32_t ml = kMask[bl];
    const uint32_t md = kMask[bd];
    if (tl == nullptr) return kInflateInvalid;
    for (;;) {
      const int fast = fastCodes(tl, td, ml, md);
      if (fast != kLeaveFastPath) return fast;

      // Careful path: every bit is needed exactly when a one-byte-at-a-time reader would need it.
      const HuffmanEntry* t = nullptr;
      int r = decodeSymbol(tl, bl, t);
      if (r != kInflateOk) return r;
      unsigned e = t->e;
      if (e == kEntryLiteral) {
        window_[pos_++] = static_cast<uint8_t>(t->v.n);
        if (pos_ == kWindow && !flush()) return kInflateStopped;
        continue;
      }
      if (e == kEntryEndOfBlock) return kInflateOk;
      if (!need(e)) return kInflateStopped;
      const uint32_t length = t->v.n + peek(e);
      drop(e);
      r = decodeSymbol(td, bd, t);
      if (r != kInflateOk) return r;
      e = t->e;
      if (!need(e)) return kInflateStopped;
      const uint32_t distance = t->v.n + peek(e);
      drop(e);
      if (!copyMatch(length, distance)) return kInflateStopped;
    }
  }

  ReaderContext& ctx_;
  detail::DecoderGlobals& g_;
  uint8_t* window_;
  const uint8_t* in_;
  uint32_t index_ = 0;
  uint32_t count_ = 0;
  uint64_t bits_ = 0;
  unsigned bitCount_ = 0;
  uint32_t pos_ = 0;
};

}  // namespace

void setTableAllocatorForTesting(TableAllocator allocator) { g_allocator = allocator; }

namespace {
InflateEngine g_engine = nullptr;
}

void setInflateEngineForTesting(InflateEngine engine) { g_engine = engine; }
InflateEngine inflateEngine() { return g_engine != nullptr ? g_engine : &inflateMember; }

void freeHuffmanTable(HuffmanEntry* table) {
  HuffmanEntry* p = table;
  while (p != nullptr) {
    HuffmanEntry* block = p - 1;
    HuffmanEntry* next = block->v.t;
    std::free(block);
    p = next;
  }
}

int buildHuffmanTable(const unsigned* b, unsigned n, unsigned s, const uint16_t* base,
                      const uint8_t* extra, HuffmanEntry** table, unsigned* m) {
  *table = nullptr;
  // Count the codes of each length.
  unsigned count[kMaxBits + 1] = {};
  for (unsigned i = 0; i < n; ++i) {
    if (b[i] > kMaxBits) return 2;
    ++count[b[i]];
  }
  if (count[0] == n) {
    *m = 0;
    return 0;
  }

  // Narrow the lookup bits to the lengths present.
  unsigned k = 1;
  while (count[k] == 0) ++k;
  unsigned g = kMaxBits;
  while (count[g] == 0) --g;
  unsigned l = *m;
  if (l < k) l = k;
  if (l > g) l = g;
  *m = l;

  // Check the code space; what is left over becomes dummy codes of the longest length.
  int spare = 1 << k;
  for (unsigned j = k; j < g; ++j, spare <<= 1) {
    spare -= static_cast<int>(count[j]);
    if (spare < 0) return 2;
  }
  spare -= static_cast<int>(count[g]);
  if (spare < 0) return 2;
  count[g] += static_cast<unsigned>(spare);

  // Sort the symbols by length, keeping their order within a length.
  unsigned offset[kMaxBits + 2];
  offset[1] = 0;
  for (unsigned j = 1; j <= kMaxBits; ++j) offset[j + 1] = offset[j] + (j < g ? count[j] : 0);
  unsigned sorted[288];
  unsigned real = 0;
  for (unsigned i = 0; i < n; ++i) {
    if (b[i] != 0) {
      sorted[offset[b[i]]++] = i;
      ++real;
    }
  }

  HuffmanEntry* levelTable[kMaxBits + 1] = {};
  unsigned levelPattern[kMaxBits + 1] = {};
  int h = -1;                       // current level
  int w = -static_cast<int>(l);     // bits decoded before the current level
  unsigned code = 0;                // the current code, bit-reversed
  unsigned z = 0;                   // entries in the current table
  HuffmanEntry* q = nullptr;        // the current table
  HuffmanEntry** link = table;      // where the next block of the chain is recorded
  unsigned p = 0;                   // next symbol in sorted order

  for (; k <= g; ++k) {
    unsigned left = count[k];
    while (left-- != 0) {
      // Open new levels until this code fits.
      while (static_cast<int>(k) > w + static_cast<int>(l)) {
        ++h;
        w += static_cast<int>(l);
        const auto uw = static_cast<unsigned>(w);
        const unsigned limit = (g - uw) > l ? l : g - uw;
        unsigned j = k - uw;
        unsigned f = 1u << j;
        if (f > left + 1) {
          f -= left + 1;
          unsigned xp = k;
          while (++j < limit) {
            f <<= 1;
            if (f <= count[++xp]) break;
            f -= count[xp];
          }
        }
        z = 1u << j;
        auto* block = static_cast<HuffmanEntry*>(allocateBlock((z + 1) * sizeof(HuffmanEntry)));
        if (block == nullptr) {
          freeHuffmanTable(*table);
          *table = nullptr;
          return 3;
        }
        *link = block + 1;
        link = &block->v.t;
        *link = nullptr;
        block->e = 0;
        block->b = 0;
        levelTable[h] = q = block + 1;
        if (h != 0) {
          levelPattern[h] = code;
          HuffmanEntry r{};
          r.b = static_cast<uint8_t>(l);
          r.e = static_cast<uint8_t>(16 + j);
          r.v.t = q;
          levelTable[h - 1][code >> (uw - l)] = r;
        }
      }

      const auto uw = static_cast<unsigned>(w);
      HuffmanEntry r{};
      r.b = static_cast<uint8_t>(k - uw);
      if (p >= real) {
        r.e = kEntryInvalid;
        r.v.n = 0;
      } else if (sorted[p] < s) {
        r.e = sorted[p] < 256 ? kEntryLiteral : kEntryEndOfBlock;
        r.v.n = static_cast<uint16_t>(sorted[p]);
        ++p;
      } else {
        r.e = extra[sorted[p] - s];
        r.v.n = base[sorted[p] - s];
        ++p;
      }

      // Every index whose low (k - w) bits are this code.
      const unsigned step = 1u << (k - uw);
      for (unsigned j = code >> uw; j < z; j += step) q[j] = r;

      // Next code, incremented in bit-reversed order.
      unsigned bit = 1u << (k - 1);
      while ((code & bit) != 0) {
        code ^= bit;
        bit >>= 1;
      }
      code ^= bit;

      // Back up to the level whose prefix still matches. Every later code is longer than that
      // level reaches, so it opens a new sub-table before anything is stored.
      while ((code & ((1u << static_cast<unsigned>(w)) - 1)) != levelPattern[h]) {
        --h;
        w -= static_cast<int>(l);
      }
    }
  }
  return (spare != 0 && g != 1) ? 1 : 0;
}

int inflateMember() {
  ReaderContext* ctx = currentReader();
  Inflater inflater(*ctx);
  return inflater.run();
}

}  // namespace kz
