// CRC-32 throughput: ours (the method chosen for this processor) and our table method alone,
// against zlib's crc32 over the same 8 MB.
#include <zlib.h>

#include "package/crc32.h"
#include "ratio_reporter.h"
#include "support/gzip_fixtures.h"

namespace {

const kz::test::Bytes& data() {
  static const kz::test::Bytes d = kz::test::randomBytes(8u << 20, 5);
  return d;
}

void BM_OursCrc32(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(kz::crc32(data().data(), data().size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data().size()));
}

void BM_OursCrc32Table(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(kz::detail::crc32RegisterTable(0xFFFFFFFFu, data().data(), data().size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data().size()));
}

void BM_ZlibCrc32(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(::crc32(0, data().data(), static_cast<uInt>(data().size())));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data().size()));
}

BENCHMARK(BM_OursCrc32);
BENCHMARK(BM_OursCrc32Table);
BENCHMARK(BM_ZlibCrc32);

}  // namespace

int main(int argc, char** argv) {
  using kz::detail::Crc32Method;
  std::printf("carry-less multiplication: %s\n", kz::detail::crc32MethodAvailable(Crc32Method::WidestFolding) ? "64-byte registers"
                                                   : kz::detail::crc32MethodAvailable(Crc32Method::WideFolding) ? "32-byte registers"
                                                   : kz::detail::crc32MethodAvailable(Crc32Method::Folding)   ? "16-byte registers"
                                                                                                              : "not available");
  return kz::bench::runWithRatios(argc, argv,
                                  {{"crc32 ours/zlib", "BM_OursCrc32", "BM_ZlibCrc32", true, 1.5},
                                   {"crc32 table method/zlib", "BM_OursCrc32Table", "BM_ZlibCrc32", true, 0.0}});
}
