// The inflate engine: stored, fixed-code and dynamic-code blocks of RFC 1951, table-driven.
//
// Bit reader. Bits are taken from the low end of a 64-bit buffer; bitCount says how many are
// valid and every bit above them is zero. "Needing n bits" first takes bytes already in the input
// buffer, and refills the input only when the bits needed lie beyond its end, exactly where a
// reader that takes one byte at a time through tables of the described shape would refill. The
// extra look-ahead is therefore only bytes already delivered, and at the end of the stream every
// whole byte of look-ahead is given back to the input, so the trailer is read from the first byte
// after the deflate data.
//
// The input budget. The member's bytes are a hard limit: nothing past its last byte is read, and
// bits a code really has that lie beyond it end the entry ("input ends inside the member"). The
// bits the described tables look at before a code is resolved are only a look-ahead, not part of
// the code: where they would lie past the member's last byte they count as zeros and are never
// read. So a member may end at the input's last byte (a PK entry has no trailer behind its deflate
// data), and wherever the member has more input the look-ahead refills exactly as before. The fast
// path reads ahead whole words, but only from the bytes the last refill delivered (a view of the
// input, not a copy), and a refill never delivers a byte past the budget.
//
// Tables. The engine decodes with wide tables of packed 32-bit entries (see DecodeTable). Where it
// reads its input, though, it keeps to a narrower tree of tables, "the described tables" below:
// first levels of 9 bits for literal/length codes and 6 for distances (7, 5 and 7 for the fixed
// and code-length codes), narrowed to the code lengths present, with each deeper level l bits
// further. Every entry carries the number of bits that tree would look at before its code is
// resolved, and the careful path takes exactly that many.
//
// Window. The window buffer holds the described window in its first 32 KiB, and the engine writes
// on behind it in one straight line, a window at a time: a full window is flushed where it lies and
// writing goes on right after it, so the 32 KiB before the output position are always the history
// and a match's source is simply its distance back. Only when the buffer's end is reached does the
// last window move to the buffer's start, once every few windows. Bytes after the output position
// may be scratch. A stream starts right behind the first 32 KiB, which are its history, and at its
// end the first 32 KiB are made the window the reader expects between members (the last partial
// window, and after it the bytes of the window before), so the next member finds the history it
// would find there. A match's source may reach into history that an earlier member left; the
// engine does not compare a distance with the output produced so far, so a corrupt distance copies
// stale bytes and the member then fails its CRC check.
//
// Fast path and careful path. While the last refill left enough input and the window has room for
// the longest match plus the scratch that whole-word copies write past it, a literal or match is
// decoded with branch-free refills of the bit word and no flush or refill of the input can be
// due. Near the end of the refill's input or of the window the careful path decodes one symbol at
// a time: it needs the bits the described tables would need, refills only then, and flushes the
// window exactly when it fills.
//
// States of one stream:
//   start -> block header -> (stored | fixed | dynamic) -> block header ... -> last block done
//         -> look-ahead given back -> final flush -> done
// Any invalid data ends the stream with a result code; an input that ends or a flush that fails
// aborts the entry and ends it with InflateResult::Stopped.
#include "package/inflate.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "package/byte_order.h"
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

// First-level index bits of the engine's own tables (narrowed to the longest code present).
constexpr unsigned kWideLitLenBits = 11;
constexpr unsigned kWideDistBits = 8;

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

// Eight bytes through a register: the two ranges may overlap.
inline void copy8(uint8_t* dst, const uint8_t* src) {
  uint64_t v;
  std::memcpy(&v, src, sizeof v);
  std::memcpy(dst, &v, sizeof v);
}


// ---------------------------------------------------------------------------------------------
// The engine's decoding tables.
//
// One heap block per table: the first level of 2^bits entries, then the sub-tables, then one
// byte per entry. An entry:
//   bits 0-4    bits the fast path drops for the whole entry: the code plus any extra bits; for
//               a link, the first-level bits. Bits 5-7 are zero, so the low byte is the drop
//               count: a shift by the entry itself drops it.
//   bits 8-11   the code's bits at this level; of a link, the sub-table's index bits
//   bit 12      literal (bits 16-23 the byte)
//   bit 13      a whole length: its extra bits are resolved by the entry (see below)
//   bit 14      link to a sub-table (bits 16-31 its offset)
//   bit 15      alone: end of block; with bit 14: an invalid code
//   bits 16-31  literal(s), base length, base distance or code-length symbol
// Extra bits follow the code: an entry's value is its base plus the bits between its code length
// and the bits it drops. A length code that fits the first level together with its extra bits has
// an entry for each value of them instead, as if each were a code of its own: the entry holds the
// whole length and counts the extra bits among its code's, so the fast path takes the length as it
// is, and the careful path needs the extra bits before the code is resolved (they follow the code
// in any stream that goes on). The byte beside each entry holds the bits the described tables need
// before its code is resolved, counted from the code's first bit; only the careful path reads it.
// (Entries that held two literals where both codes fit the first level were tried: on binaries
// and text compressed at level 9 such pairs are rare, and building them cost more than they saved.)
constexpr uint32_t kFlagLiteral = 1u << 12;
constexpr uint32_t kFlagWholeLength = 1u << 13;
constexpr uint32_t kFlagLink = 1u << 14;
constexpr uint32_t kFlagSpecial = 1u << 15;
constexpr uint32_t kKindMask = kFlagLiteral | kFlagLink | kFlagSpecial;
constexpr uint32_t kKindEndOfBlock = kFlagSpecial;
constexpr uint32_t kKindInvalid = kFlagLink | kFlagSpecial;

constexpr uint32_t entryDrop(uint32_t e) { return e & 31u; }
constexpr uint32_t entryCodeBits(uint32_t e) { return (e >> 8) & 15u; }
constexpr uint32_t entryValue(uint32_t e) { return e >> 16; }

constexpr uint32_t makeEntry(uint32_t drop, uint32_t kind, uint32_t codeBits, uint32_t value) {
  return drop | kind | (codeBits << 8) | (value << 16);
}

enum class CodeSet { LiteralLength, Distance, CodeLength };

struct DecodeTable {
  DecodeTable() = default;
  ~DecodeTable() { std::free(entries); }
  DecodeTable(const DecodeTable&) = delete;
  DecodeTable& operator=(const DecodeTable&) = delete;
  void reset() {
    std::free(entries);
    entries = nullptr;
    need = nullptr;
    bits = 0;
    mask = 0;
  }
  uint32_t* entries = nullptr;  // nullptr: an empty table (no code at all)
  uint8_t* need = nullptr;      // the described tables' need of each entry, in the same block
  unsigned bits = 0;
  uint32_t mask = 0;
};

// How a set of code lengths fills the code space.
struct CodeSpace {
  unsigned perLength[kMaxBits + 1] = {};  // codes of each length, the dummy codes counted in
  unsigned shortest = 0;
  unsigned longest = 0;
  unsigned dummies = 0;  // code space no symbol uses, as codes of the longest length
  unsigned realCodes = 0;
};

// Counts the codes of each length and checks that they fit the code space; the unused rest is
// filled with dummy codes at the longest length. false: a length over kMaxBits, or more codes
// than the space holds (over-subscribed). An all-zero set leaves realCodes at 0.
bool measureCodeSpace(const unsigned* lengths, unsigned n, CodeSpace& space) {
  unsigned* const count = space.perLength;
  for (unsigned i = 0; i < n; ++i) {
    if (lengths[i] > kMaxBits) return false;
    ++count[lengths[i]];
  }
  space.realCodes = n - count[0];
  if (space.realCodes == 0) return true;

  unsigned shortest = 1;
  while (count[shortest] == 0) ++shortest;
  unsigned longest = kMaxBits;
  while (count[longest] == 0) --longest;
  int spare = 1 << shortest;
  for (unsigned length = shortest; length < longest; ++length, spare <<= 1) {
    spare -= static_cast<int>(count[length]);
    if (spare < 0) return false;
  }
  spare -= static_cast<int>(count[longest]);
  if (spare < 0) return false;
  count[longest] += static_cast<unsigned>(spare);
  space.shortest = shortest;
  space.longest = longest;
  space.dummies = static_cast<unsigned>(spare);
  return true;
}

// Symbols in canonical order: by length, in symbol order within a length. The dummy codes (the
// unused code space, invalid when met) come last, at the longest length, and have no slot here.
void sortCanonical(const unsigned* lengths, unsigned n, const CodeSpace& space, uint16_t* sorted) {
  unsigned offset[kMaxBits + 2] = {};
  for (unsigned length = 1; length <= kMaxBits; ++length) {
    const unsigned real = space.perLength[length] - (length == space.longest ? space.dummies : 0);
    offset[length + 1] = offset[length] + real;
  }
  for (unsigned symbol = 0; symbol < n; ++symbol) {
    if (lengths[symbol] != 0) sorted[offset[lengths[symbol]]++] = static_cast<uint16_t>(symbol);
  }
}

// The entry of one symbol whose code has levelBits bits at its level (nullptr symbol: a dummy code).
uint32_t entryFor(CodeSet set, const uint16_t* symbol, unsigned levelBits) {
  if (symbol == nullptr) return makeEntry(levelBits, kKindInvalid, levelBits, 0);
  const unsigned sym = *symbol;
  if (set == CodeSet::Distance) return makeEntry(levelBits + kDistExtra[sym], 0, levelBits, kDistBase[sym]);
  if (set == CodeSet::CodeLength) return makeEntry(levelBits, 0, levelBits, sym);
  if (sym < 256) return makeEntry(levelBits, kFlagLiteral, levelBits, sym);
  if (sym == 256) return makeEntry(levelBits, kKindEndOfBlock, levelBits, 0);
  if (kLengthExtra[sym - 257] == 99) return makeEntry(levelBits, kKindInvalid, levelBits, 0);
  if (kLengthExtra[sym - 257] == 0) return makeEntry(levelBits, kFlagWholeLength, levelBits, kLengthBase[sym - 257]);
  return makeEntry(levelBits + kLengthExtra[sym - 257], 0, levelBits, kLengthBase[sym - 257]);
}

// A first-level length code whose extra bits fit the first level too.
struct LengthWithExtra {
  unsigned code;  // bit-reversed
  unsigned codeLength;
  unsigned symbol;
};

bool fitsWithExtra(unsigned symbol, unsigned codeLength, unsigned firstBits) {
  return symbol > 256 && symbol < 286 && kLengthExtra[symbol - 257] != 0 &&
         codeLength + kLengthExtra[symbol - 257] <= firstBits;
}

// Gives each value of the length's extra bits its own whole-length entry, in every first-level
// slot of the code: they are the index bits right above the code.
void resolveExtraBits(DecodeTable& t, const LengthWithExtra& length) {
  const unsigned extra = kLengthExtra[length.symbol - 257];
  const unsigned whole = length.codeLength + extra;
  const unsigned base = kLengthBase[length.symbol - 257];
  for (unsigned slot = length.code; slot < (1u << t.bits); slot += 1u << length.codeLength) {
    t.entries[slot] = makeEntry(whole, kFlagWholeLength, whole, base + ((slot >> length.codeLength) & kMask[extra]));
  }
}

// The code after `code` (bit-reversed, codeLength bits) in canonical order.
unsigned nextCanonicalCode(unsigned code, unsigned codeLength) {
  unsigned bit = 1u << (codeLength - 1);
  while ((code & bit) != 0) {
    code ^= bit;
    bit >>= 1;
  }
  return code ^ bit;
}

// The described tree, walked alongside the fill: its first level is rootBits wide and each deeper
// level begins rootBits further, with an index width chosen when the level opens, just wide
// enough for the codes still to come under it. It gives the bits that tree needs before each code
// is resolved: the start of the code's level plus the level's width.
class DescribedTree {
 public:
  DescribedTree(const CodeSpace& space, unsigned rootBits)
      : perLength_(space.perLength), longest_(space.longest), rootBits_(rootBits),
        levelStart_(-static_cast<int>(rootBits)) {}

  // The need of the code `code` of codeLength bits, with codesLeft codes of that length after it;
  // opens the levels it lies in.
  unsigned needOf(unsigned code, unsigned codeLength, unsigned codesLeft) {
    while (static_cast<int>(codeLength) > levelStart_ + static_cast<int>(rootBits_)) {
      openLevel(code, codeLength, codesLeft);
    }
    return static_cast<unsigned>(levelStart_) + levelWidth_[depth_];
  }

  // Closes the levels that the next code (bit-reversed) no longer lies in.
  void leaveLevels(unsigned nextCode) {
    while (depth_ > 0 && (nextCode & ((1u << static_cast<unsigned>(levelStart_)) - 1)) != levelPrefix_[depth_]) {
      --depth_;
      levelStart_ -= static_cast<int>(rootBits_);
    }
  }

 private:
  void openLevel(unsigned code, unsigned codeLength, unsigned codesLeft) {
    ++depth_;
    levelStart_ += static_cast<int>(rootBits_);
    const auto start = static_cast<unsigned>(levelStart_);
    const unsigned widest = (longest_ - start) > rootBits_ ? rootBits_ : longest_ - start;
    unsigned width = codeLength - start;
    unsigned slotsOver = 1u << width;  // slots at this width the codes of this length leave free
    if (slotsOver > codesLeft + 1) {
      slotsOver -= codesLeft + 1;
      unsigned length = codeLength;
      while (++width < widest) {
        slotsOver <<= 1;
        if (slotsOver <= perLength_[++length]) break;
        slotsOver -= perLength_[length];
      }
    }
    levelWidth_[depth_] = width;
    levelPrefix_[depth_] = code;
  }

  const unsigned* perLength_;
  unsigned longest_;
  unsigned rootBits_;
  int depth_ = -1;
  int levelStart_;
  unsigned levelWidth_[kMaxBits + 1] = {};
  unsigned levelPrefix_[kMaxBits + 1] = {};
};

// The index bits of a sub-table for the codes under one first-level prefix, the first of which
// is codeLength bits long with codesLeft more of that length after it: wide enough that they
// fill it exactly.
unsigned subTableBits(const CodeSpace& space, unsigned firstBits, unsigned codeLength, unsigned codesLeft) {
  unsigned width = codeLength - firstBits;
  int slotsOver = (1 << width) - static_cast<int>(codesLeft + 1);
  unsigned length = codeLength;
  while (slotsOver > 0 && firstBits + width < space.longest) {
    ++width;
    slotsOver = 2 * slotsOver - static_cast<int>(space.perLength[++length]);
  }
  return width;
}

// The first level holds the entries of all codes of up to `bits` bits in its first 2^bits slots:
// copied once behind themselves, they fill 2^(bits + 1) slots for those codes, and the codes of
// bits + 1 bits go into the slots left to them.
void doubleFirstLevel(DecodeTable& t, unsigned bits) {
  const size_t n = size_t{1} << bits;
  std::memcpy(t.entries + n, t.entries, n * sizeof(uint32_t));
  std::memcpy(t.need + n, t.need, n);
}

// Writes every code's entry, and the described tables' need beside it, into the allocated table:
// a code of up to t.bits bits into each first-level slot it prefixes (the slots below 2^length
// first, and the others by doubling), a longer one into the sub-table behind its first t.bits
// bits, each sub-table opened when its first code comes.
void fillTable(const CodeSpace& space, const uint16_t* sorted, CodeSet set, unsigned describedBits, DecodeTable& t) {
  unsigned rootBits = describedBits < space.shortest ? space.shortest : describedBits;
  if (rootBits > space.longest) rootBits = space.longest;
  DescribedTree described(space, rootBits);
  const unsigned firstBits = t.bits;
  uint32_t* const table = t.entries;
  unsigned code = 0;                   // the current code, bit-reversed
  unsigned nextSub = 1u << firstBits;  // where the next sub-table goes
  unsigned subPrefix = ~0u;          // the first-level prefix of the open sub-table
  unsigned subStart = 0;
  unsigned subBits = 0;
  unsigned symbolIndex = 0;
  unsigned filledBits = space.shortest < firstBits ? space.shortest : firstBits;
  LengthWithExtra withExtra[29];  // resolved once the first level is filled
  unsigned withExtraCount = 0;
  for (unsigned codeLength = space.shortest; codeLength <= space.longest; ++codeLength) {
    while (filledBits < codeLength && filledBits < firstBits) doubleFirstLevel(t, filledBits++);
    unsigned left = space.perLength[codeLength];
    while (left-- != 0) {
      const auto needBits = static_cast<uint8_t>(described.needOf(code, codeLength, left));
      const unsigned levelBits = codeLength > firstBits ? codeLength - firstBits : codeLength;
      const uint16_t* symbol = symbolIndex < space.realCodes ? sorted + symbolIndex : nullptr;
      const uint32_t entry = entryFor(set, symbol, levelBits);
      ++symbolIndex;

      if (codeLength <= firstBits) {
        table[code] = entry;
        t.need[code] = needBits;
        if (set == CodeSet::LiteralLength && symbol != nullptr && fitsWithExtra(*symbol, codeLength, firstBits)) {
          withExtra[withExtraCount++] = {code, codeLength, *symbol};
        }
      } else {
        const unsigned prefix = code & t.mask;
        if (prefix != subPrefix) {
          subPrefix = prefix;
          subBits = subTableBits(space, firstBits, codeLength, left);
          table[prefix] = makeEntry(firstBits, kFlagLink, subBits, nextSub);
          t.need[prefix] = 0;
          subStart = nextSub;
          nextSub += 1u << subBits;
        }
        for (unsigned slot = code >> firstBits; slot < (1u << subBits); slot += 1u << levelBits) {
          table[subStart + slot] = entry;
          t.need[subStart + slot] = needBits;
        }
      }
      code = nextCanonicalCode(code, codeLength);
      described.leaveLevels(code);
    }
  }
  while (filledBits < firstBits) doubleFirstLevel(t, filledBits++);
  for (unsigned i = 0; i < withExtraCount; ++i) resolveExtraBits(t, withExtra[i]);
}

// Builds the engine's table for n code lengths. describedBits is the first-level width the
// described tables start from (they narrow it to the lengths present, and the bits each code
// needs follow from that tree's shape). Results: Ok for a complete set, or an incomplete one when
// acceptIncomplete (a fixed block's distances); Invalid for any other incomplete set, BadBlock for
// an over-subscribed one, NoMemory when the table cannot be allocated. An all-zero set gives an
// empty table and Ok.
InflateResult buildDecodeTable(const unsigned* lengths, unsigned n, CodeSet set, unsigned describedBits,
                               bool acceptIncomplete, DecodeTable& t) {
  t.reset();
  CodeSpace space;
  if (!measureCodeSpace(lengths, n, space)) return InflateResult::BadBlock;
  if (space.realCodes == 0) return InflateResult::Ok;
  uint16_t sorted[288];
  sortCanonical(lengths, n, space, sorted);

  // The literal/length and distance tables always have their whole first level, so that the fast
  // path indexes them with constant masks; the code-length table is narrowed to its longest code.
  const unsigned longest = space.longest;
  const unsigned firstBits = set == CodeSet::LiteralLength ? kWideLitLenBits
                             : set == CodeSet::Distance    ? kWideDistBits
                             : longest < kCodeLengthBits   ? longest
                                                           : kCodeLengthBits;
  unsigned longCodes = 0;
  for (unsigned length = firstBits + 1; length <= longest; ++length) longCodes += space.perLength[length];
  const size_t subEntries = longest > firstBits ? size_t{longCodes} << (longest - firstBits) : 0;
  const size_t entries = (size_t{1} << firstBits) + subEntries;
  auto* table = static_cast<uint32_t*>(allocateBlock(entries * (sizeof(uint32_t) + 1)));
  if (table == nullptr) return InflateResult::NoMemory;
  t.entries = table;
  t.need = reinterpret_cast<uint8_t*>(table + entries);
  t.bits = firstBits;
  t.mask = (1u << firstBits) - 1;
  // An incomplete set the caller refuses is only allocated, not filled.
  if (space.dummies != 0 && longest != 1 && !acceptIncomplete) return InflateResult::Invalid;
  fillTable(space, sorted, set, describedBits, t);
  return InflateResult::Ok;
}

// The distance table of a block that has no distance codes, as the fast path sees it.
constexpr auto kNoDistanceCodes = [] {
  std::array<uint32_t, size_t{1} << kWideDistBits> table{};
  for (uint32_t& entry : table) entry = makeEntry(0, kKindInvalid, 0, 0);
  return table;
}();

// The fast path's bit buffer: 64 bits where the registers are that wide, else 32 (the fast path
// then refills more often; the careful path keeps 64 bits, it is not hot).
#if defined(KZ_INFLATE_32BIT) || UINTPTR_MAX == 0xFFFFFFFFu
using FastWord = uint32_t;
#else
using FastWord = uint64_t;
#endif
constexpr unsigned kFastWordBits = sizeof(FastWord) * 8;
// The 64-bit word keeps the stream's bits from bit 2 up: an index masked out of it is then
// already the byte offset of a 4-byte table entry, and the entry's load needs no scaled index,
// which costs a cycle more on the chain of lookups every symbol waits for (about 4 % faster on
// binaries). The two bits below are left over from dropped bits, never data. The 32-bit word
// has no bits to spare and is indexed as it is.
constexpr unsigned kIndexShift = kFastWordBits == 64 ? 2 : 0;

// Input the fast path may read ahead of its position: two refills of one word each. Its word loads
// therefore stay inside the bytes the last refill delivered, which never pass the member's budget;
// the last kFastInputMargin bytes of every refill go through the careful path.
constexpr uint32_t kFastInputMargin = 32;
// Window room the fast path keeps for a run of literals (at most three between two checks); a
// match whose copy with its scratch would reach the window's end is copied at the careful pace,
// with the flush where it fills.
constexpr uint32_t kFastWindowMargin = 8;
// The end of the window buffer, where the last window moves back to its start.
constexpr uint32_t kWindowEnd = kWindowBufferSize;
static_assert(kWindowEnd % kWindow == 0 && kWindowEnd >= 2 * kWindow, "the buffer holds whole windows");
// Bytes a match copy in the fast path may write from its start: whole words up to this many, even
// for a shorter match, and the scratch past the end of a longer one stays below it too.
constexpr uint32_t kMatchScratch = 32;
static_assert(kMatchScratch >= kFastWindowMargin, "a match the fast path copies ends below the literals' bound");

// The fast path's helpers must inline into its loop: a call there would cost more than the copy.
#if defined(__GNUC__)
#define KZ_FAST_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define KZ_FAST_INLINE __forceinline
#else
#define KZ_FAST_INLINE inline
#endif

// Copies a match whose source and destination, with kMatchScratch bytes of scratch, stay inside
// the buffer: whole words, 32 bytes whatever the length (most matches are shorter), then 16 at a
// time; each word reads only bytes already final. The scratch past the match's end is
// overwritten by what follows.
KZ_FAST_INLINE void copyMatchWords(uint8_t* out, const uint8_t* from, const uint8_t* end, uint32_t distance) {
  if (distance >= 8) {
    copy8(out, from);
    copy8(out + 8, from + 8);
    copy8(out + 16, from + 16);
    copy8(out + 24, from + 24);
    out += 32;
    from += 32;
    while (out < end) {
      copy8(out, from);
      copy8(out + 8, from + 8);
      out += 16;
      from += 16;
    }
  } else if (distance == 1) {
    uint8_t word[8];
    std::memset(word, *from, sizeof word);
    do {
      std::memcpy(out, word, 8);
      out += 8;
    } while (out < end);
  } else {
    // A short period: each word puts distance bytes in place.
    do {
      copy8(out, from);
      out += distance;
      from += distance;
    } while (out < end);
  }
}

// The fast loop's hot state in one local that its steps share by reference: once they are
// inlined, each field lives in a register as a plain local would, and no store through the
// output pointer can alias it.
//
// refill and literalEntry are left to the compiler to inline, not forced: forced, they are
// inlined before it weighs the loop's branches, where a call still counts against a path, and it
// lays the loop out otherwise, slower.
struct FastCursor {
  FastWord bits;  // the stream's next bits from bit kIndexShift up
  // Where the valid bits end: kIndexShift plus their number. Only the low byte counts: an entry's
  // drop count is its low byte, so dropping subtracts the whole entry, and the bits above are
  // left as they come.
  uint32_t bitCount;
  const uint8_t* in;
  uint8_t* out;
  uint32_t e;  // the entry at the word's low bits
  const uint8_t* inEnd;
  uint8_t* outEnd;
  const uint8_t* matchEnd;
  const uint32_t* lit;
  const uint32_t* dist;

  // The first-level index bits where they lie in the word.
  static constexpr uint32_t kLitIndex = ((1u << kWideLitLenBits) - 1) << kIndexShift;
  static constexpr uint32_t kDistIndex = ((1u << kWideDistBits) - 1) << kIndexShift;

  // Fills the word from the input without a branch: the bytes that fit whole are counted, and
  // the bits above the count hold the input's next bits, or zeros.
  void refill() {
    const unsigned end = static_cast<uint8_t>(bitCount);
    if constexpr (kFastWordBits == 64) {
      bits |= static_cast<FastWord>(loadLittle64(in)) << end;
    } else {
      bits |= static_cast<FastWord>(loadLittle32(in)) << end;
    }
    in += (kFastWordBits - 1 - end) >> 3;
    bitCount |= kFastWordBits - 8;
  }

  // Drops the entry's bits (or n bits): the shift takes the low bits of the count as they are.
  KZ_FAST_INLINE void consume(uint32_t entryOrCount) {
    bits >>= entryOrCount & (kFastWordBits - 1);
    bitCount -= entryOrCount;
  }

  // The value of a length or distance entry: its base plus the extra bits that follow its code,
  // all of them dropped.
  KZ_FAST_INLINE uint32_t takeValue() {
    const FastWord saved = bits;
    consume(e);
    // The dropped bits, below kIndexShift the bits left over: what the shift took off the bottom.
    // Bits 12-15 of a value entry are zero, so its code bits need no mask of their own.
    constexpr FastWord kAboveLeftOver = ~FastWord{(1u << kIndexShift) - 1};
    const auto dropped = static_cast<uint32_t>(saved ^ ((bits & kAboveLeftOver) << (e & (kFastWordBits - 1))));
    return entryValue(e) + ((dropped >> kIndexShift) >> ((e >> 8) & 31u));
  }

  // The entry at a byte offset into a table: the offset is a multiple of 4, the load a plain one.
  static KZ_FAST_INLINE uint32_t entryAt(const uint32_t* table, uint32_t byteOffset) {
    uint32_t entry;
    std::memcpy(&entry, reinterpret_cast<const uint8_t*>(table) + byteOffset, sizeof entry);
    return entry;
  }
  static constexpr unsigned kToByteOffset = 2 - kIndexShift;
  KZ_FAST_INLINE uint32_t literalEntryAtBits() const {
    return entryAt(lit, (static_cast<uint32_t>(bits) & kLitIndex) << kToByteOffset);
  }
  KZ_FAST_INLINE uint32_t distanceEntryAtBits() const {
    return entryAt(dist, (static_cast<uint32_t>(bits) & kDistIndex) << kToByteOffset);
  }

  // A link drops the first-level bits; the sub-table's entry is found by the bits after them.
  KZ_FAST_INLINE void followLink(const uint32_t* table) {
    consume(e);
    e = table[entryValue(e) + (static_cast<uint32_t>(bits >> kIndexShift) & kMask[entryCodeBits(e)])];
  }

  // One literal entry: its bits dropped, the next entry looked up before the store (a store
  // through a byte pointer could alias the table, so the compiler keeps this order).
  void literalEntry() {
    consume(e);
    const uint32_t next = literalEntryAtBits();
    *out++ = static_cast<uint8_t>(entryValue(e));
    e = next;
  }
};

// One stream's engine: the hot state lives in members and is written back to the reader context
// and the decoder's globals around every call that reads or writes them.
class Inflater {
 public:
  explicit Inflater(ReaderContext& ctx)
      : ctx_(ctx), g_(detail::decoder()), window_(ctx.window), out_(ctx.window + kWindow) {}

  InflateResult run() {
    pos_ = 0;
    bits_ = 0;
    bitCount_ = 0;
    in_ = ctx_.inputBytes;
    index_ = ctx_.inputIndex;
    count_ = g_.inputCount;
    bool last = false;
    do {
      const InflateResult r = inflateBlock(last);
      if (r != InflateResult::Ok) {
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
    if (!detail::flushWindow(out_)) {
      detail::failEntry(DecodeFailure::WriteError);
      return InflateResult::Stopped;
    }
    // The first 32 KiB become the described window: the last partial window, then the rest of
    // the window before it, which lies right before the output (already in place when that is the
    // first 32 KiB themselves).
    if (out_ != window_ + kWindow) {
      std::memcpy(window_ + pos_, out_ - kWindow + pos_, kWindow - pos_);
      std::memcpy(window_, out_, pos_);
    }
    return InflateResult::Ok;
  }

 private:
  void syncOut() {
    ctx_.inputIndex = index_;
    g_.bitBuffer = bits_;
    g_.bitCount = bitCount_;
  }

  // The next bytes of the input, where they lie: the first one, or -1 when the input ended.
  int refill() {
    ctx_.inputIndex = index_;
    const int c = detail::refillInput();
    if (c < 0) return c;
    in_ = ctx_.inputBytes;
    index_ = ctx_.inputIndex;
    count_ = g_.inputCount;
    return c;
  }

  // Takes the bytes the last refill delivered; refills only when the n bits lie beyond them.
  bool need(unsigned n) {
    if (bitCount_ >= n) return true;
    return needSlow(n);
  }

  bool needSlow(unsigned n) {
    while (bitCount_ < n) {
      if (index_ < count_) {
        bits_ |= static_cast<uint64_t>(in_[index_++]) << bitCount_;
      } else {
        const int c = refill();
        if (c < 0) return false;
        bits_ |= static_cast<uint64_t>(c) << bitCount_;
      }
      bitCount_ += 8;
    }
    return true;
  }

  // Needs n bits of look-ahead: like need, but past the member's last byte the missing bits are
  // the zeros above bitCount_, and nothing is read.
  bool lookAhead(unsigned n) {
    while (bitCount_ < n) {
      if (index_ == count_ && !detail::inputLeft()) return true;
      if (!needSlow(bitCount_ + 8)) return false;
    }
    return true;
  }

  // Takes whole bytes the last refill delivered while the bit buffer has room for them.
  void takeBuffered() {
    while (index_ < count_ && bitCount_ + 8 < kFastWordBits) {
      bits_ |= static_cast<uint64_t>(in_[index_++]) << bitCount_;
      bitCount_ += 8;
    }
  }

  uint32_t peek(unsigned n) const { return static_cast<uint32_t>(bits_) & kMask[n]; }
  void drop(unsigned n) {
    bits_ >>= n;
    bitCount_ -= n;
  }

  // The current window is full: it is flushed where it lies, becomes the history, and writing goes
  // on behind it; at the buffer's end, it moves to the buffer's start first.
  bool flush() {
    ctx_.outputCount = kWindow;
    ctx_.inputIndex = index_;
    if (!detail::flushWindow(out_)) {
      detail::failEntry(DecodeFailure::WriteError);
      return false;
    }
    out_ += kWindow;
    if (out_ == window_ + kWindowEnd) {
      std::memcpy(window_, out_ - kWindow, kWindow);
      out_ = window_ + kWindow;
    }
    pos_ = 0;
    return true;
  }

  InflateResult inflateBlock(bool& last) {
    if (!need(1)) return InflateResult::Stopped;
    last = (bits_ & 1u) != 0;
    drop(1);
    if (!need(2)) return InflateResult::Stopped;
    const unsigned type = peek(2);
    drop(2);
    switch (type) {
      case 0: return inflateStored();
      case 1: return inflateFixed();
      case 2: return inflateDynamic();
      default: return InflateResult::BadBlock;
    }
  }

  InflateResult inflateStored() {
    drop(bitCount_ & 7u);
    if (!need(16)) return InflateResult::Stopped;
    uint32_t length = peek(16);
    drop(16);
    if (!need(16)) return InflateResult::Stopped;
    const uint32_t complement = peek(16);
    drop(16);
    if (length != (~complement & 0xFFFFu)) return InflateResult::Invalid;
    // Whole bytes still in the bit buffer come first, then the input directly.
    while (length != 0 && bitCount_ >= 8) {
      out_[pos_++] = static_cast<uint8_t>(bits_);
      drop(8);
      --length;
      if (pos_ == kWindow && !flush()) return InflateResult::Stopped;
    }
    while (length != 0) {
      if (index_ == count_) {
        const int c = refill();
        if (c < 0) return InflateResult::Stopped;
        out_[pos_++] = static_cast<uint8_t>(c);
        --length;
      } else {
        uint32_t n = count_ - index_;
        if (n > length) n = length;
        if (n > kWindow - pos_) n = kWindow - pos_;
        std::memcpy(out_ + pos_, in_ + index_, n);
        index_ += n;
        pos_ += n;
        length -= n;
      }
      if (pos_ == kWindow && !flush()) return InflateResult::Stopped;
    }
    return InflateResult::Ok;
  }

  // The tables of a block are freed before it returns, on every path.
  InflateResult inflateFixed() {
    const InflateResult r = fixedBlock();
    lit_.reset();
    dist_.reset();
    return r;
  }
  InflateResult inflateDynamic() {
    const InflateResult r = dynamicBlock();
    lit_.reset();
    dist_.reset();
    return r;
  }

  InflateResult fixedBlock() {
    unsigned lengths[288];
    for (unsigned i = 0; i < 144; ++i) lengths[i] = 8;
    for (unsigned i = 144; i < 256; ++i) lengths[i] = 9;
    for (unsigned i = 256; i < 280; ++i) lengths[i] = 7;
    for (unsigned i = 280; i < 288; ++i) lengths[i] = 8;
    InflateResult r = buildDecodeTable(lengths, 288, CodeSet::LiteralLength, kFixedLitLenBits, false, lit_);
    if (r != InflateResult::Ok) return r;
    for (unsigned i = 0; i < 30; ++i) lengths[i] = 5;
    r = buildDecodeTable(lengths, 30, CodeSet::Distance, kFixedDistBits, true, dist_);
    if (r != InflateResult::Ok) return r;
    r = inflateCodes();
    if (r == InflateResult::Stopped) return r;
    return r != InflateResult::Ok ? InflateResult::Invalid : InflateResult::Ok;
  }

  InflateResult dynamicBlock() {
    if (!need(5)) return InflateResult::Stopped;
    const unsigned nlit = 257 + peek(5);
    drop(5);
    if (!need(5)) return InflateResult::Stopped;
    const unsigned ndist = 1 + peek(5);
    drop(5);
    if (!need(4)) return InflateResult::Stopped;
    const unsigned ncode = 4 + peek(4);
    drop(4);
    if (nlit > 286 || ndist > 30) return InflateResult::Invalid;

    unsigned lengths[286 + 30];
    for (unsigned j = 0; j < ncode; ++j) {
      if (!need(3)) return InflateResult::Stopped;
      lengths[kCodeLengthOrder[j]] = peek(3);
      drop(3);
    }
    for (unsigned j = ncode; j < 19; ++j) lengths[kCodeLengthOrder[j]] = 0;

    InflateResult r = buildDecodeTable(lengths, 19, CodeSet::CodeLength, kCodeLengthBits, false, lit_);
    if (r != InflateResult::Ok) return r;

    const unsigned total = nlit + ndist;
    unsigned last = 0;
    for (unsigned i = 0; i < total;) {
      uint32_t entry = 0;
      r = decodeCareful(lit_, entry);
      if (r != InflateResult::Ok) return r;
      // A single code of length 1 leaves the other 1-bit code unused: met, it is invalid.
      if ((entry & kKindMask) == kKindInvalid) return InflateResult::Invalid;
      const unsigned code = entryValue(entry);
      unsigned repeat = 0;
      unsigned value = 0;
      if (code < 16) {
        lengths[i++] = last = code;
        continue;
      }
      if (code == 16) {
        if (!need(2)) return InflateResult::Stopped;
        repeat = 3 + peek(2);
        drop(2);
        value = last;
      } else if (code == 17) {
        if (!need(3)) return InflateResult::Stopped;
        repeat = 3 + peek(3);
        drop(3);
        last = 0;
      } else {
        if (!need(7)) return InflateResult::Stopped;
        repeat = 11 + peek(7);
        drop(7);
        last = 0;
      }
      if (i + repeat > total) return InflateResult::Invalid;
      while (repeat-- != 0) lengths[i++] = value;
    }
    lit_.reset();

    r = buildDecodeTable(lengths, nlit, CodeSet::LiteralLength, kLitLenBits, false, lit_);
    if (r != InflateResult::Ok) return r;
    // Unlike a fixed block, an incomplete distance set is refused.
    r = buildDecodeTable(lengths + nlit, ndist, CodeSet::Distance, kDistBits, false, dist_);
    if (r != InflateResult::Ok) return r;
    r = inflateCodes();
    if (r == InflateResult::Stopped) return r;
    return r != InflateResult::Ok ? InflateResult::Invalid : InflateResult::Ok;
  }

  // Copies a match at the careful pace: the window may fill, and is flushed, part-way, and the
  // source may run over the end of the buffer and go on at its start.
  bool copyMatch(uint32_t length, uint32_t distance) {
    do {
      uint8_t* dst = out_ + pos_;
      uint32_t chunk = kWindow - pos_;
      if (chunk > length) chunk = length;
      const uint8_t* from = dst - distance;
      if (distance >= chunk) {
        std::memcpy(dst, from, chunk);
      } else {
        // Overlapping: each byte may be one this copy has just written.
        for (uint32_t k = 0; k < chunk; ++k) dst[k] = from[k];
      }
      pos_ += chunk;
      length -= chunk;
      if (pos_ == kWindow && !flush()) return false;
    } while (length != 0);
    return true;
  }

  // Looks up one code as the described tables would: the bits they look at are taken (and the
  // input refilled for them while the member has input left) before the code counts as resolved.
  // Bits above bitCount_ are zero, so a code found within the valid bits is the right one, and one
  // that reaches beyond them means the stream's code is longer than the valid bits too: one more
  // byte is needed either way, and when the member has none left, its input has ended.
  InflateResult decodeCareful(const DecodeTable& t, uint32_t& out) {
    if (t.entries == nullptr) return InflateResult::Invalid;
    takeBuffered();
    for (;;) {
      uint32_t index = static_cast<uint32_t>(bits_) & t.mask;
      uint32_t e = t.entries[index];
      unsigned total = entryCodeBits(e);
      if ((e & kKindMask) == kFlagLink) {
        index = entryValue(e) + (static_cast<uint32_t>(bits_ >> t.bits) & kMask[entryCodeBits(e)]);
        e = t.entries[index];
        total = t.bits + entryCodeBits(e);
      }
      if (total <= bitCount_) {
        if (!lookAhead(t.need[index])) return InflateResult::Stopped;
        drop(total);
        out = e;
        return InflateResult::Ok;
      }
      if (!need(bitCount_ + 1)) return InflateResult::Stopped;
    }
  }

  // Careful path: one literal, end of block or match.
  InflateResult carefulSymbol() {
    uint32_t e = 0;
    InflateResult r = decodeCareful(lit_, e);
    if (r != InflateResult::Ok) return r;
    const uint32_t kind = e & kKindMask;
    if ((kind & kFlagLiteral) != 0) {
      out_[pos_++] = static_cast<uint8_t>(entryValue(e));
      if (pos_ == kWindow && !flush()) return InflateResult::Stopped;
      return kLeaveFastPath;
    }
    if (kind == kKindEndOfBlock) return InflateResult::Ok;
    if (kind == kKindInvalid) return InflateResult::Invalid;
    unsigned extra = entryDrop(e) - entryCodeBits(e);
    if (!need(extra)) return InflateResult::Stopped;
    const uint32_t length = entryValue(e) + peek(extra);
    drop(extra);
    r = decodeCareful(dist_, e);
    if (r != InflateResult::Ok) return r;
    if ((e & kKindMask) == kKindInvalid) return InflateResult::Invalid;
    extra = entryDrop(e) - entryCodeBits(e);
    if (!need(extra)) return InflateResult::Stopped;
    const uint32_t distance = entryValue(e) + peek(extra);
    drop(extra);
    if (!copyMatch(length, distance)) return InflateResult::Stopped;
    return kLeaveFastPath;
  }

  // Not a result of the stream: the symbol is done and the block goes on (a value no InflateResult
  // enumerator has).
  static constexpr InflateResult kLeaveFastPath = static_cast<InflateResult>(0xFF);

  // The stream's bit buffer and positions move into the cursor, with the loop's bounds and tables.
  KZ_FAST_INLINE void enterFastPath(FastCursor& c) const {
    c.bits = static_cast<FastWord>(bits_) << kIndexShift;
    c.bitCount = bitCount_ + kIndexShift;
    c.in = in_ + index_;
    c.inEnd = in_ + (count_ - kFastInputMargin);
    c.out = out_ + pos_;
    c.outEnd = out_ + (kWindow - kFastWindowMargin);
    c.matchEnd = out_ + (kWindow - kMatchScratch);
    c.lit = lit_.entries;
    // A block without distance codes has an empty table: any distance in it is invalid.
    c.dist = dist_.entries != nullptr ? dist_.entries : kNoDistanceCodes.data();
  }

  // The cursor's input and output positions, back in the stream.
  KZ_FAST_INLINE void storePositions(const FastCursor& c) {
    index_ = static_cast<uint32_t>(c.in - in_);
    pos_ = static_cast<uint32_t>(c.out - out_);
  }

  // Leaves the fast path: the cursor's state goes back to the stream, the bit buffer without the
  // look-ahead bits above its count.
  KZ_FAST_INLINE void leaveFastPath(const FastCursor& c) {
    bitCount_ = static_cast<uint8_t>(c.bitCount) - kIndexShift;
    bits_ = static_cast<uint64_t>(c.bits >> kIndexShift) & ((uint64_t{1} << bitCount_) - 1);
    storePositions(c);
  }

  // A run of first-level literals (each entry at most kWideLitLenBits bits), starting at the
  // literal entry e. true: the run took its turn, and the margins are checked next; false: it
  // ended at an entry of another kind, with the word refilled.
  static KZ_FAST_INLINE bool literalRun(FastCursor& c) {
    c.literalEntry();
    if constexpr (kFastWordBits == 64) {
      if ((c.e & kFlagLiteral) != 0) {
        c.literalEntry();
        if ((c.e & kFlagLiteral) != 0) {
          c.literalEntry();
          return true;
        }
      }
    }
    c.refill();  // the entry's own bits were valid already; the refill adds what follows
    if constexpr (kFastWordBits == 32) {
      if ((c.e & kFlagLiteral) != 0) {
        c.literalEntry();
        return true;
      }
    }
    return false;
  }

  // A link or special entry e. true: a link to a literal, which is stored; otherwise e is left
  // as the length, end of block or invalid code it is or links to.
  static KZ_FAST_INLINE bool subTableLiteral(FastCursor& c) {
    bool stored = false;
    if ((c.e & kKindMask) == kFlagLink) {
      c.followLink(c.lit);
      if ((c.e & kFlagLiteral) != 0) {
        c.consume(c.e);
        *c.out++ = static_cast<uint8_t>(entryValue(c.e));
        stored = true;
      }
    }
    return stored;
  }

  // A length: whole in its entry, or its base plus the extra bits that follow its code.
  static KZ_FAST_INLINE uint32_t decodeLength(FastCursor& c) {
    uint32_t length;
    if ((c.e & kFlagWholeLength) != 0) {
      c.consume(c.e);
      length = entryValue(c.e);
    } else {
      length = c.takeValue();
    }
    if constexpr (kFastWordBits == 32) c.refill();
    return length;
  }

  // The distance of entry e, the first level's or its sub-table's (behindLink); then the next
  // turn's entry e, with the word refilled.
  static KZ_FAST_INLINE uint32_t takeDistance(FastCursor& c, bool behindLink) {
    if constexpr (kFastWordBits == 32) {
      if (static_cast<uint8_t>(c.bitCount) < entryDrop(c.e)) c.refill();
    }
    const uint32_t distance = c.takeValue();
    // With 64 bits, a length and a distance from the first levels leave at least 11
    // valid bits (54 - 20 - 21), so the next entry is looked up before the refill, off its
    // path; after a distance sub-table, both codes may have taken 48 bits, so after it.
    if (kFastWordBits == 32 || behindLink) {
      c.refill();
      c.e = c.literalEntryAtBits();
    } else {
      c.e = c.literalEntryAtBits();
      c.refill();
    }
    return distance;
  }

  // Fast path: while at least kFastInputMargin bytes the refill delivered lie past the position and
  // the window has kFastWindowMargin bytes of room, no refill of the input can be due within one
  // literal run or match, and only a match that reaches the window's end flushes it. Leaves with
  // kLeaveFastPath when the careful path must take over, or with the block's result.
  //
  // The margin tests, the exits at invalid codes and the match's bounds test stay written out in
  // the loop: returned from a helper as a bool, they have the compiler weigh the loop's branches
  // and lay it out differently, slower (an || returned as a bool even has both sides evaluated).
  InflateResult fastCodes() {
    // The careful path's buffer may hold more bits than the word has room for above kIndexShift
    // (a refill needs the end of the valid bits inside the word); the next careful symbol drops
    // some.
    if (count_ <= kFastInputMargin || index_ >= count_ - kFastInputMargin || pos_ >= kWindow - kFastWindowMargin ||
        bitCount_ + kIndexShift >= kFastWordBits) {
      return kLeaveFastPath;
    }
    FastCursor c;
    enterFastPath(c);
    InflateResult result = kLeaveFastPath;

    // Each turn starts with the word just refilled and e the entry at its low bits; the entry
    // for the next turn is looked up before a match is copied, so the lookup overlaps the copy.
    // A lookup is sound while kWideLitLenBits valid bits remain: after a refill there are at least
    // kFastWordBits - 8 - kIndexShift, and a literal entry takes at most kWideLitLenBits of them.
    c.refill();
    c.e = c.literalEntryAtBits();
    for (;;) {
      if ((c.e & kFlagLiteral) != 0 && literalRun(c)) {
        if (c.in >= c.inEnd || c.out >= c.outEnd) break;
        c.refill();
        continue;
      }
      if ((c.e & (kFlagLink | kFlagSpecial)) != 0) {
        if (subTableLiteral(c)) {
          if (c.in >= c.inEnd || c.out >= c.outEnd) break;
          c.refill();
          c.e = c.literalEntryAtBits();
          continue;
        }
        if ((c.e & kKindMask) == kKindEndOfBlock) {
          c.consume(c.e);
          result = InflateResult::Ok;
          break;
        }
        if ((c.e & kKindMask) == kKindInvalid) {
          result = InflateResult::Invalid;
          break;
        }
      }
      const uint32_t length = decodeLength(c);
      bool behindLink = false;
      c.e = c.distanceEntryAtBits();
      if ((c.e & kFlagLink) != 0) {
        if ((c.e & kKindMask) == kKindInvalid) {
          result = InflateResult::Invalid;
          break;
        }
        behindLink = true;
        c.followLink(c.dist);
        if ((c.e & kKindMask) == kKindInvalid) {
          result = InflateResult::Invalid;
          break;
        }
      }
      const uint32_t distance = takeDistance(c, behindLink);

      // The source lies in this window or the history before it (distance <= 32,768).
      const uint8_t* from = c.out - distance;
      uint8_t* const end = c.out + length;
      if (end > c.matchEnd) {
        // The flush where the window fills moves the output to the next window: the loop's bounds
        // are set again when it is next entered.
        storePositions(c);
        if (!copyMatch(length, distance)) return InflateResult::Stopped;
        c.out = out_ + pos_;
        break;
      }
      copyMatchWords(c.out, from, end, distance);
      c.out = end;
      // The match ended before matchEnd, which lies below outEnd: only the input can run short.
      if (c.in >= c.inEnd) break;
    }
    leaveFastPath(c);
    return result;
  }

  InflateResult inflateCodes() {
    if (lit_.entries == nullptr) return InflateResult::Invalid;
    for (;;) {
      const InflateResult fast = fastCodes();
      if (fast != kLeaveFastPath) return fast;
      const InflateResult careful = carefulSymbol();
      if (careful != kLeaveFastPath) return careful;
    }
  }

  ReaderContext& ctx_;
  detail::DecoderGlobals& g_;
  uint8_t* window_;   // the described window between streams, then the room written on into
  uint8_t* out_;      // the window being written
  const uint8_t* in_ = nullptr;
  uint32_t index_ = 0;
  uint32_t count_ = 0;
  uint64_t bits_ = 0;
  unsigned bitCount_ = 0;
  uint32_t pos_ = 0;
  DecodeTable lit_;
  DecodeTable dist_;
};

}  // namespace

void setTableAllocatorForTesting(TableAllocator allocator) { g_allocator = allocator; }

namespace {
InflateEngine g_engine = nullptr;
}

void setInflateEngineForTesting(InflateEngine engine) { g_engine = engine; }
InflateEngine inflateEngine() { return g_engine != nullptr ? g_engine : &inflateMember; }

InflateResult inflateMember() {
  ReaderContext* ctx = currentReader();
  Inflater inflater(*ctx);
  return inflater.run();
}

}  // namespace kz
