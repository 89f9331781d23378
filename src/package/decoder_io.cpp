// The decoder's input and output: refills within the member's budget, window flushes with the
// CRC-32, and the abort of a failed entry. The gzip member decoder and the inflate engine share them.
#include <cerrno>

#include "package/decoder_state.h"
#include "package/gzip_constants.h"

namespace kz {
namespace detail {

DecoderGlobals& decoder() {
  static DecoderGlobals globals;
  return globals;
}

void failEntry(DecodeFailure reason) {
  decoder().lastFailure = reason;
  abortEntry();
}

int refillInput() {
  ReaderContext& ctx = *currentReader();
  DecoderGlobals& g = decoder();
  errno = 0;
  const uint32_t left = ctx.compressedBudget - ctx.bytesIn;
  g.inputCount = viewBytes(ctx, ctx.inputBytes, left < gzip::kRefillSize ? left : gzip::kRefillSize);
  if (g.inputCount == 0) {
    failEntry(DecodeFailure::InputEnded);
    return -1;
  }
  ctx.bytesIn += g.inputCount;
  ctx.inputIndex = 1;
  return ctx.inputBytes[0];
}

bool inputLeft() {
  const ReaderContext& ctx = *currentReader();
  return ctx.bytesIn < ctx.compressedBudget && !inputAtEnd(ctx);
}

int nextInputByte() {
  ReaderContext& ctx = *currentReader();
  if (ctx.inputIndex < decoder().inputCount) return ctx.inputBytes[ctx.inputIndex++];
  return refillInput();
}

bool flushWindow() { return flushWindow(currentReader()->window); }

bool flushWindow(const uint8_t* data) {
  ReaderContext& ctx = *currentReader();
  const uint32_t count = ctx.outputCount;
  if (count == 0) return true;
  addToMemberCrc(data, count);
  const uint32_t written = writeBytes(ctx, data, count);
  ctx.bytesOut += count;
  ctx.outputCount = 0;
  // Write errors arrive through the runtime's error indicator; a short write is one too, since
  // otherwise a truncated file would pass the trailer check, which counts the bytes produced.
  if (errno != 0 || written != count) {
    errno = 0;
    return false;
  }
  return true;
}

}  // namespace detail

}  // namespace kz
