// The inflate engine: decodes one DEFLATE stream (RFC 1951) from the current reader's input into
// its window, handing each full window and the last partial one to flushWindow.
//
// Decoding tables: one heap block per table and per block, built from the block's code lengths and
// freed when the block ends. Literal/length tables index their first level by 11 bits and
// distance tables by 8, the code-length table by up to 7 (narrowed to its longest code); longer
// codes continue in sub-tables behind the first level. Each entry is one packed 32-bit word that
// holds everything its symbol needs (inflate.cpp gives the layout).
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

// Decodes one stream on the current reader. 0 on success; 1, 2 or 3 as above; 4 when the entry
// was aborted (the reason is already recorded).
int inflateMember();

// Test seam: the allocator of table blocks (nullptr restores malloc).
using TableAllocator = void* (*)(size_t);
void setTableAllocatorForTesting(TableAllocator allocator);

// Test seam: the engine decodeMember runs for method 8 (nullptr restores inflateMember), so that
// a plain one-byte-at-a-time engine can serve as the fast engine's oracle.
using InflateEngine = int (*)();
void setInflateEngineForTesting(InflateEngine engine);
InflateEngine inflateEngine();

}  // namespace kz
