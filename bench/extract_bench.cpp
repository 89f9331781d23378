// Extraction of a realistic package (PE binaries and help-like text, about 20 MB uncompressed,
// filling most of the capacity): the updater's extractPackage against zlib's inflate, and against
// libdeflate, decoding the same members and writing the same files (32 KiB writes, same folders,
// time and attributes); against libdeflate both as separate benchmarks and in turns.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ratio_reporter.h"
#include "package/extract_package.h"
#include "package/folders.h"
#include "package/package_area.h"
#include "platform/files.h"
#include "support/form_fixtures.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kz::test::Bytes;

constexpr size_t kPeBytes = 14u << 20;
constexpr size_t kHelpBytes = 6u << 20;

// PE files where the machine has them (Wine's and MinGW's DLLs), otherwise ELF binaries.
std::vector<std::pair<std::string, Bytes>> peFiles() {
  std::vector<std::pair<std::string, Bytes>> files;
  size_t total = 0;
  for (const char* dir : {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows", "/usr/lib/gcc/x86_64-w64-mingw32/12-win32"}) {
    std::error_code ec;
    std::vector<fs::path> paths;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
      if (e.path().extension() == ".dll" && e.file_size(ec) > 100000 && e.file_size(ec) < 3000000) paths.push_back(e.path());
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& p : paths) {
      if (total >= kPeBytes) break;
      Bytes b = kz::test::readFileBytes(p);
      total += b.size();
      files.emplace_back("bin\\" + p.filename().string(), std::move(b));
    }
  }
  for (int i = 0; total < kPeBytes; ++i) {
    Bytes b = kz::test::systemBinaryBytes(2u << 20);
    total += b.size();
    files.emplace_back("bin\\elf" + std::to_string(i) + ".dll", std::move(b));
  }
  return files;
}

struct Package {
  kz::test::TempDir dir;
  Bytes area;
  std::vector<kz::FormWriterEntry> entries;
  size_t uncompressed = 0;

  Package() {
    std::vector<kz::test::FormFile> files;
    for (auto& [path, bytes] : peFiles()) files.emplace_back(path, std::move(bytes));
    for (int i = 0; i < 6; ++i) {
      files.emplace_back("misc.set\\hlpfiles\\app0" + std::to_string(i) + "\\app0" + std::to_string(i) + "_help.chm",
                         kz::test::textBytes(kHelpBytes / 6, static_cast<uint32_t>(i + 1)));
    }
    for (const auto& f : files) entries.push_back(kz::test::writerEntryOf(f));
    Bytes form = kz::writeForm(kz::kFormVersion611, entries);
    while (form.size() > kz::kInternalBufferSize) {  // keep the help files, drop binaries until it fits
      entries.erase(entries.begin());
      form = kz::writeForm(kz::kFormVersion611, entries);
    }
    for (const auto& e : entries) uncompressed += e.uncompressedSize;
    std::printf("package: %zu entries, %zu bytes uncompressed, form %zu of %u bytes\n", entries.size(), uncompressed,
                form.size(), kz::kInternalBufferSize);
    kz::padForm(form, kz::kInternalBufferSize);
    area = kz::test::packageAreaOf(form);
    fs::create_directory(dir.path() / "ours");
    fs::create_directory(dir.path() / "zlib");
    fs::create_directory(dir.path() / "libdeflate");
  }
};

Package& package() {
  static Package p;
  return p;
}

void BM_ExtractPackage(benchmark::State& state) {
  Package& p = package();
  const std::string work = (p.dir.path() / "ours").string();
  for (auto _ : state) {
    if (!kz::extractPackage(p.area.data(), work.c_str())) state.SkipWithError("extraction failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.uncompressed));
}

// zlib inflates each member into a 32 KiB buffer written to a "wb+" stream, put on the disk at
// its close as the extraction puts each file (flushFile), then the same time and attribute calls
// follow.
bool zlibEntry(const kz::FormWriterEntry& e, const std::string& path, std::vector<uint8_t>& out) {
  if (!kz::makeParentFolders(path.c_str())) return false;
  std::FILE* f = kz::platform::fileSystem().openFile(path.c_str(), "wb+");
  if (f == nullptr) return false;
  z_stream s{};
  inflateInit2(&s, 16 + 15);
  s.next_in = const_cast<Bytef*>(e.member.data());
  s.avail_in = static_cast<uInt>(e.member.size());
  int r = Z_OK;
  bool ok = true;
  do {
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    r = inflate(&s, Z_NO_FLUSH);
    const size_t n = out.size() - s.avail_out;
    if ((r != Z_OK && r != Z_STREAM_END) || std::fwrite(out.data(), 1, n, f) != n) ok = false;
  } while (ok && r != Z_STREAM_END);
  inflateEnd(&s);
  ok = kz::platform::fileSystem().flushFile(f) && ok;
  std::fclose(f);
  return ok && kz::platform::fileSystem().setFileTime(path.c_str(), e.time) &&
         kz::platform::fileSystem().setFileAttributes(path.c_str(), e.attributes & 0x27);
}

void BM_ZlibSameWrites(benchmark::State& state) {
  Package& p = package();
  const std::string work = (p.dir.path() / "zlib").string() + "/";
  std::vector<uint8_t> out(32768);
  for (auto _ : state) {
    for (const auto& e : p.entries) {
      if (!zlibEntry(e, work + e.path, out)) state.SkipWithError("zlib extraction failed");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.uncompressed));
}

// libdeflate decodes each member whole into memory, then the same 32 KiB writes, flush to the
// disk, time and attributes follow.
bool libdeflateEntry(libdeflate_decompressor* d, const kz::FormWriterEntry& e, const std::string& path,
                     std::vector<uint8_t>& out) {
  if (!kz::makeParentFolders(path.c_str())) return false;
  std::FILE* f = kz::platform::fileSystem().openFile(path.c_str(), "wb+");
  if (f == nullptr) return false;
  if (out.size() < e.uncompressedSize) out.resize(e.uncompressedSize);
  size_t produced = 0;
  bool ok = libdeflate_gzip_decompress(d, e.member.data(), e.member.size(), out.data(), out.size(), &produced) ==
            LIBDEFLATE_SUCCESS;
  for (size_t at = 0; ok && at < produced; at += 32768) {
    const size_t n = std::min<size_t>(32768, produced - at);
    ok = std::fwrite(out.data() + at, 1, n, f) == n;
  }
  ok = kz::platform::fileSystem().flushFile(f) && ok;
  std::fclose(f);
  return ok && kz::platform::fileSystem().setFileTime(path.c_str(), e.time) &&
         kz::platform::fileSystem().setFileAttributes(path.c_str(), e.attributes & 0x27);
}

bool libdeflateExtraction(libdeflate_decompressor* d, const Package& p, const std::string& work, std::vector<uint8_t>& out) {
  for (const auto& e : p.entries) {
    if (!libdeflateEntry(d, e, work + e.path, out)) return false;
  }
  return true;
}

void BM_LibdeflateSameWrites(benchmark::State& state) {
  Package& p = package();
  const std::string work = (p.dir.path() / "libdeflate").string() + "/";
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    if (!libdeflateExtraction(d, p, work, out)) state.SkipWithError("libdeflate extraction failed");
  }
  libdeflate_free_decompressor(d);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.uncompressed));
}

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Ours and libdeflate's loop in turns, one of each per iteration, the one that goes first swapped
// every iteration. A slow spell of this machine often lasts seconds and falls on whole repetitions
// of the benchmarks above; here it weighs on both alike. Counters: the ratios ours/peer of the
// summed time and thread CPU time, which spread a few times less between runs than the ratios of
// the separate benchmarks.
void BM_ExtractionInTurns(benchmark::State& state) {
  Package& p = package();
  const std::string ours = (p.dir.path() / "ours").string();
  const std::string peer = (p.dir.path() / "libdeflate").string() + "/";
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::vector<uint8_t> out;
  double wall[2] = {};  // [1]: ours
  double cpu[2] = {};
  bool oursFirst = true;
  for (auto _ : state) {
    for (const bool isOurs : {oursFirst, !oursFirst}) {
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = threadCpuSeconds();
      const bool ok = isOurs ? kz::extractPackage(p.area.data(), ours.c_str()) : libdeflateExtraction(d, p, peer, out);
      cpu[isOurs] += threadCpuSeconds() - cpuStart;
      wall[isOurs] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (!ok) state.SkipWithError("extraction failed");
    }
    oursFirst = !oursFirst;
  }
  libdeflate_free_decompressor(d);
  if (wall[0] > 0 && cpu[0] > 0) {
    state.counters[kz::bench::kTimeRatio] = wall[1] / wall[0];
    state.counters[kz::bench::kCpuRatio] = cpu[1] / cpu[0];
  }
}

BENCHMARK(BM_ExtractPackage)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ZlibSameWrites)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LibdeflateSameWrites)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ExtractionInTurns)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  return kz::bench::runWithRatios(
      argc, argv,
      {{"extraction end to end ours/zlib", "BM_ExtractPackage", "BM_ZlibSameWrites", false, 1.1},
       {"extraction end to end ours/libdeflate", "BM_ExtractPackage", "BM_LibdeflateSameWrites", false, 1.0},
       {"extraction end to end ours/libdeflate in turns", "BM_ExtractionInTurns", "", false, 1.0}});
}
