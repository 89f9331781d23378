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

// What the engine made of one stream.
enum class InflateResult : uint8_t {
  Ok,
  Invalid,   // invalid data (or an incomplete code set)
  BadBlock,  // block type 3, or an over-subscribed code set
  NoMemory,  // a decoding table could not be allocated
  Stopped,   // the entry was aborted, the reason already recorded: input ended or a flush failed
};

// Decodes one stream on the current reader.
InflateResult inflateMember();

// Test seam: the allocator of table blocks (nullptr restores malloc).
using TableAllocator = void* (*)(size_t);
void setTableAllocatorForTesting(TableAllocator allocator);

// Test seam: the engine decodeMember runs for a deflated member (nullptr restores inflateMember),
// so that a plain one-byte-at-a-time engine can serve as the fast engine's oracle.
using InflateEngine = InflateResult (*)();
void setInflateEngineForTesting(InflateEngine engine);
InflateEngine inflateEngine();

}  // namespace kz
