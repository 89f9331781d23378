// Decoder state that outlives one call: shared by the gzip member decoder and the inflate engine.
//
// Design note: only one member is decoded at a time in the whole process, so the part of the
// decoder's state that is not held in the ReaderContext is process-wide, as are the input and
// output primitives both layers use (decoder_io.cpp). Everything here acts on the current reader.
#pragma once

#include <cstdint>

#include "package/gzip_member.h"
#include "package/reader_context.h"

namespace kz::detail {

struct DecoderGlobals {
  uint32_t inputCount = 0;    // bytes the last refill delivered (ReaderContext::inputBytes)
  uint32_t crcRegister = 0xFFFFFFFFu;  // kept inverted
  bool pkEntry = false;       // the member is a PK local entry
  bool pkDescriptor = false;  // its CRC and sizes follow the data
  uint64_t bitBuffer = 0;     // the inflate engine's bit reader: bits taken from the low end
  uint32_t bitCount = 0;
  DecodeFailure lastFailure = DecodeFailure::None;
};

DecoderGlobals& decoder();

// The next input byte (0..255), or -1 when the input ended inside the member; the entry has then
// been aborted and nothing more may be read or written.
int nextInputByte();
// Delivers the next at most 32 KiB of the input, never past the member's budget. Returns the first
// byte and leaves the input index at 1, or aborts the entry and returns -1.
int refillInput();
// True when a refill would deliver at least one byte: the budget is not used up and the input has
// bytes left. Reads nothing and aborts nothing.
bool inputLeft();
// Checksums and writes the first outputCount bytes of the window (or of the half of the window
// buffer the inflate engine filled). false when the runtime reported a write error (or the write
// came up short); the caller then aborts the entry.
bool flushWindow();
bool flushWindow(const uint8_t* data);
// Records why the member failed and aborts the entry (closes and deletes the output, frees buffers).
void failEntry(DecodeFailure reason);

}  // namespace kz::detail
