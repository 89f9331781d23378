// The reader context's byte operations over a memory input and a file output.
#include "package/reader_context.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace kz {
namespace {
ReaderContext* g_currentReader = nullptr;
}

ReaderContext* currentReader() { return g_currentReader; }

bool initReader(ReaderContext& ctx) {
  // The window starts zeroed, so a damaged member that reaches before its output reads
  // defined bytes.
  if (ctx.window == nullptr) ctx.window = static_cast<uint8_t*>(std::calloc(1, kWindowBufferSize));
  if (ctx.window == nullptr) {
    destroyReader(ctx);
    return false;
  }
  return true;
}

bool destroyReader(ReaderContext& ctx) {
  ctx.inputBytes = nullptr;
  std::free(ctx.window);
  ctx.window = nullptr;
  return true;
}

bool openMemoryInput(ReaderContext& ctx, const uint8_t* blockStart) {
  ctx.input.base = blockStart;
  ctx.input.position = 0;
  g_currentReader = &ctx;
  return true;
}

bool openOutputFile(ReaderContext& ctx, const char* path) {
  const size_t length = std::strlen(path);
  if (length >= platform::kMaxPath) return false;
  std::memcpy(ctx.outputName, path, length + 1);
  ctx.output = platform::fileSystem().openFile(path, "wb+");
  g_currentReader = &ctx;
  return ctx.output != nullptr;
}

bool closeMemoryInput(ReaderContext& ctx) {
  ctx.input.base = nullptr;
  return true;
}

bool closeOutput(ReaderContext& ctx) {
  if (ctx.output == nullptr) return true;
  // Closing writes the last buffered bytes: on a full disk that is where the write fails. The
  // flush is asked for on its own first, since not every C runtime's fclose reports a flush that
  // failed (Wine's returns 0 and only sets errno). It also puts the data on the disk: the file
  // may replace an installed one, whose original goes once the copy step is done.
  const bool flushed = platform::fileSystem().flushFile(ctx.output) && std::ferror(ctx.output) == 0;
  const bool closed = std::fclose(ctx.output) == 0;
  ctx.output = nullptr;
  return flushed && closed;
}

uint32_t viewBytes(ReaderContext& ctx, const uint8_t*& data, uint32_t count) {
  MemoryInput& in = ctx.input;
  if (in.base == nullptr || in.position >= in.size) return 0;
  const uint32_t n = std::min(count, in.size - in.position);
  data = in.base + in.position;
  in.position += n;
  return n;
}

uint32_t readBytes(ReaderContext& ctx, void* buffer, uint32_t count) {
  const uint8_t* data = nullptr;
  const uint32_t n = viewBytes(ctx, data, count);
  if (n != 0) std::memcpy(buffer, data, n);
  return n;
}

uint32_t writeBytes(ReaderContext& ctx, const void* buffer, uint32_t count) {
  if (ctx.output == nullptr) return 0;
  return static_cast<uint32_t>(std::fwrite(buffer, 1, count, ctx.output));
}

uint32_t seekInput(ReaderContext& ctx, uint32_t offset, SeekOrigin origin) {
  MemoryInput& in = ctx.input;
  if (origin == SeekOrigin::Start) {
    in.position = std::min(offset, in.size);
  } else {
    const uint32_t left = in.position >= in.size ? 0 : in.size - in.position;
    in.position += std::min(offset, left);
  }
  return in.position;
}

bool inputAtEnd(const ReaderContext& ctx) { return ctx.input.position >= ctx.input.size; }

void abortEntry() {
  ReaderContext* ctx = g_currentReader;
  if (ctx == nullptr) return;
  ctx->abortFlag = true;
  if (ctx->output != nullptr) {
    std::fclose(ctx->output);
    ctx->output = nullptr;
    platform::fileSystem().deleteFile(ctx->outputName);
  }
  destroyReader(*ctx);
}

}  // namespace kz
