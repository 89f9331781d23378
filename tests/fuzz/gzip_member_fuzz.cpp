// Fuzzes the gzip member decoder: arbitrary bytes as a BODY, decoded into a temporary file. The
// decoder must never crash, leak or read outside the input; on failure the output must be gone,
// and it must never read past the budget.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "package/gzip_member.h"
#include "package/reader_context.h"

namespace {
const std::string& outputPath() {
  static const std::string path = [] {
    char pattern[] = "/tmp/kz-gzip-fuzz-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    return std::string(pattern);
  }();
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // The first byte chooses a budget shorter than the input now and then.
  const auto length = static_cast<uint32_t>(size);
  const uint32_t budget = (size > 0 && (data[0] & 0x80) != 0) ? length / 2 : length;
  kz::ReaderContext ctx{};
  if (!kz::initReader(ctx)) return 0;
  kz::openMemoryInput(ctx, data);
  ctx.input.size = length;
  kz::resetMemberState(ctx, budget);
  if (kz::readMemberHeader() >= 0) {
    if (!kz::openOutputFile(ctx, outputPath().c_str())) std::abort();
    const int32_t result = kz::decodeMember();
    const bool failed = result != 0 || ctx.abortFlag != 0;
    kz::closeOutput(ctx);
    if (failed && std::fopen(outputPath().c_str(), "rb") != nullptr) std::abort();  // left behind
  }
  if (ctx.input.position > budget) std::abort();  // read past the member
  kz::closeMemoryInput(ctx);
  kz::destroyReader(ctx);
  std::remove(outputPath().c_str());
  return 0;
}
