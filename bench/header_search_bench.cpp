// Header search throughput on an 8 MB executable-like file: findPackageHeader (file reads in
// 128 KiB blocks and the scan) against memmem counting every occurrence in the same bytes in memory.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ratio_reporter.h"
#include "package/package_header.h"
#include "support/header_fixtures.h"
#include "support/temp_dir.h"

namespace {

constexpr size_t kFileSize = 8u << 20;

// Real binaries of the machine make the content: code, tables, strings, padding.
std::vector<uint8_t> executableLikeBytes() {
  std::vector<uint8_t> bytes;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/bin")) {
    if (bytes.size() >= kFileSize) break;
    std::error_code ec;
    if (!entry.is_regular_file(ec) || entry.file_size(ec) < 4096) continue;
    std::vector<uint8_t> file;
    try {
      file = kz::test::readFileBytes(entry.path());
    } catch (...) {
      continue;
    }
    bytes.insert(bytes.end(), file.begin(), file.end());
  }
  bytes.resize(kFileSize, 0);
  kz::test::placeHeader(bytes, kFileSize - 1000, kz::test::sampleHeader());
  return bytes;
}

struct Fixture {
  kz::test::TempDir dir;
  std::string path = dir.file("updater.exe");
  std::vector<uint8_t> bytes = executableLikeBytes();
  Fixture() { kz::test::writeFileBytes(path, bytes); }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void BM_FindPackageHeader(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    uint32_t offset = 0;
    const kz::PackageHeaderStatus code = kz::findPackageHeader(f.path.c_str(), offset);
    benchmark::DoNotOptimize(code);
    if (code != kz::PackageHeaderStatus::Ok) state.SkipWithError("header not found");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileSize));
}

void BM_Memmem(benchmark::State& state) {
  Fixture& f = fixture();
  const auto key = kz::packageHeaderMarker();
  for (auto _ : state) {
    size_t count = 0;
    const uint8_t* p = f.bytes.data();
    const uint8_t* const end = p + f.bytes.size();
    while (const void* hit = memmem(p, static_cast<size_t>(end - p), key.data(), key.size())) {
      ++count;
      p = static_cast<const uint8_t*>(hit) + 1;
    }
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileSize));
}

BENCHMARK(BM_FindPackageHeader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memmem)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return kz::bench::runWithRatios(
      argc, argv, {{"header search ours/memmem", "BM_FindPackageHeader", "BM_Memmem", false, 2.0}});
}
