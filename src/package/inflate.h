// The inflate engine: decodes one DEFLATE stream (RFC 1951) from the current reader's input into
// its 32 KiB window, handing each full window and the last partial one to flushWindow.
//
// Decoding tables are trees of lookup tables. Each table of j index bits is one heap block of
// 2^j + 1 entries; the extra leading entry links the blocks of a tree into a chain, so the tree is
// freed by walking the chain. First-level widths: 9 bits for dynamic literal/length tables, 6 for
// dynamic distance tables; fixed and code-length tables start from 7, 5 and 7 and are narrowed to
// the code lengths present.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kz {

// Results of the engine's operations.
inline constexpr int kInflateOk = 0;
inline constexpr int kInflateInvalid = 1;         // invalid data (or an incomplete code set)
inline constexpr int kInflateBadBlock = 2;        // block type 3, or an over-subscribed code set
inline constexpr int kInflateNoMemory = 3;
inline constexpr int kInflateStopped = 4;         // the entry was aborted: input ended or a flush failed

inline constexpr uint8_t kEntryEndOfBlock = 15;
inline constexpr uint8_t kEntryLiteral = 16;
inline constexpr uint8_t kEntryInvalid = 99;

struct HuffmanEntry {
  uint8_t e;  // 0..13 extra bits of a base; 15 end of block; 16 literal; 17..32 link; 99 invalid
  uint8_t b;  // bits to drop for this entry
  union {
    uint16_t n;           // literal, base length or base distance
    HuffmanEntry* t;      // sub-table of a link entry; chain pointer in a leading entry
  } v;
};

// Builds the decoding table for n code lengths b; the first s symbols are simple (literals and
// end of block), the others take base[] and extra[] (indexed by symbol - s). m is the requested
// first-level width in, the width used out. Results: 0 complete, 1 incomplete (the table is still
// built), 2 over-subscribed, 3 out of memory. An all-zero set gives an empty table (nullptr).
int buildHuffmanTable(const unsigned* b, unsigned n, unsigned s, const uint16_t* base,
                      const uint8_t* extra, HuffmanEntry** table, unsigned* m);
void freeHuffmanTable(HuffmanEntry* table);

// Decodes one stream on the current reader. 0 on success; 1, 2 or 3 as above; 4 when the entry
// was aborted (the reason is already recorded).
int inflateMember();

// Test seam: the allocator of table blocks (nullptr restores malloc).
using TableAllocator = void* (*)(size_t);
void setTableAllocatorForTesting(TableAllocator allocator);

}  // namespace kz
