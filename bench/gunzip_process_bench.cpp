// Whole processes: kz6 gunzip (the updater's decoder) against a small C program that inflates
// with zlib and writes the same 32 KiB pieces, on one member of about 20 MB (binaries and text).
// Each iteration starts the program, which reads the member, decodes it and writes the file. The
// time of an iteration is the process's own CPU time (user and system, from wait4), which the
// other work on a shared machine disturbs far less than the elapsed time; the elapsed time is
// reported beside it as a counter.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "ratio_reporter.h"
#include "support/gzip_fixtures.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

using kz::test::Bytes;

struct Member {
  kz::test::TempDir dir;
  std::string path = dir.file("member.gz");
  size_t uncompressed = 0;
  Member() {
    Bytes data = kz::test::systemBinaryBytes(14u << 20);
    const Bytes text = kz::test::textBytes(7u << 20, 41);
    data.insert(data.end(), text.begin(), text.end());
    uncompressed = data.size();
    const Bytes gz = kz::test::zlibGzip(data, 9, Z_DEFAULT_STRATEGY);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(gz.data()), static_cast<std::streamsize>(gz.size()));
    std::printf("member: %zu bytes, %zu uncompressed\n", gz.size(), uncompressed);
  }
};

Member& member() {
  static Member m;
  return m;
}

struct ProcessTimes {
  double cpu = 0;   // seconds of user and system time
  double wall = 0;  // seconds from start to exit
};

ProcessTimes runProcess(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) throw std::runtime_error("spawn failed");
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  ProcessTimes t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(args[0] + " failed");
  auto seconds = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6; };
  t.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return t;
}

void measure(benchmark::State& state, const std::vector<std::string>& args) {
  double wall = 0;
  for (auto _ : state) {
    const ProcessTimes t = runProcess(args);
    state.SetIterationTime(t.cpu);
    wall += t.wall;
  }
  state.counters["wall_ms"] = benchmark::Counter(wall * 1000 / static_cast<double>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * member().uncompressed));
}

void BM_Kz6Gunzip(benchmark::State& state) {
  Member& m = member();
  measure(state, {KZ6_EXE, "gunzip", m.path, "-o", m.dir.file("ours.bin")});
}

void BM_ZlibGunzipProgram(benchmark::State& state) {
  Member& m = member();
  measure(state, {ZLIB_GUNZIP_EXE, m.path, m.dir.file("zlib.bin")});
}

BENCHMARK(BM_Kz6Gunzip)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);
BENCHMARK(BM_ZlibGunzipProgram)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  member();
  return kz::bench::runWithRatios(
      argc, argv, {{"kz6 gunzip process ours/zlib program", "BM_Kz6Gunzip", "BM_ZlibGunzipProgram", false, 0.6}});
}
