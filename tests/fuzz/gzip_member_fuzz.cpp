// Fuzzes the gzip member decoder: arbitrary bytes as a BODY, decoded into a temporary file, once
// with the fast inflate engine and once with the plain reference engine. The decoder must never
// crash, leak or read outside the input; it must never read past the budget; on failure the output
// must be gone; and both engines must agree on the result, the bytes read and the bytes written.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "package/inflate.h"
#include "support/gzip_fixtures.h"
#include "support/reference_inflate.h"

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
  const kz::test::Bytes block(data, data + size);
  // The first byte chooses a budget shorter than the input now and then.
  const auto length = static_cast<uint32_t>(size);
  const uint32_t budget = (size > 0 && (data[0] & 0x80) != 0) ? length / 2 : length;

  kz::setInflateEngineForTesting(nullptr);
  const auto fast = kz::test::decodeMemberBytes(block, budget, outputPath());
  kz::setInflateEngineForTesting(&kz::test::referenceInflateMember);
  const auto slow = kz::test::decodeMemberBytes(block, budget, outputPath());
  kz::setInflateEngineForTesting(nullptr);

  if (fast.outcome == kz::MemberOutcome::DecodeFailed && fast.outputExists) std::abort();  // a partial file left behind
  if (fast.inputPosition > budget) std::abort();  // read past the member
  if (fast.header != slow.header || fast.outcome != slow.outcome || fast.failure != slow.failure ||
      fast.inputPosition != slow.inputPosition || fast.output != slow.output) {
    std::abort();  // the engines disagree
  }
  std::remove(outputPath().c_str());
  return 0;
}
