// kz6 pack on an update tree like the demo's (the 23 tracked files, about 19 MB of help-like text
// and code-like bytes): wall time with every core against one core on the same tree, alternating
// the two so that load from other work on the machine falls on both alike, and the package sizes
// of the default and of --best against gzip -9 and libdeflate level 12 of the same files.
//
//   pack_bench [--runs N] [--steps N] [--no-best]
// steps: portions of 80 KiB added to each file (10 gives about 19 MB).
#include <libdeflate.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/gzip_fixtures.h"
#include "support/product_fixtures.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kz::test::Bytes;

double runSeconds(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system((command + " > /dev/null").c_str());
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (status != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return took.count();
}

// CPU seconds (user and system) used by finished children so far.
double childCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

uint64_t gzip9Size(const fs::path& file) {
  const std::string command = "gzip -9 -n -c '" + file.string() + "' | wc -c";
  std::FILE* pipe = popen(command.c_str(), "r");
  unsigned long long size = 0;
  if (pipe == nullptr || std::fscanf(pipe, "%llu", &size) != 1) std::exit(1);
  pclose(pipe);
  return size;
}

uint64_t libdeflate12Size(const Bytes& data) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(12);
  std::vector<uint8_t> out(libdeflate_gzip_compress_bound(c, data.size()));
  const size_t size = libdeflate_gzip_compress(c, data.data(), data.size(), out.data(), out.size());
  libdeflate_free_compressor(c);
  return size;
}

void printRange(const char* label, std::vector<double> values, const char* unit) {
  std::sort(values.begin(), values.end());
  std::printf("%-34s min %.3f%s  median %.3f%s  max %.3f%s\n", label, values.front(), unit, values[values.size() / 2],
              unit, values.back(), unit);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  size_t steps = 10;
  bool best = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--steps") == 0 && i + 1 < argc) steps = static_cast<size_t>(std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--no-best") == 0) best = false;
  }

  kz::test::TempDir dir;
  const fs::path tree = dir.path() / "tree";
  kz::test::ProductLayout layout = kz::test::updateFiles();
  for (int row = 0; row < kz::kTrackedFileCount; ++row) {
    const Bytes text = kz::test::textBytes(steps * 64 * 1024, static_cast<uint32_t>(row * 7 + 1));
    const Bytes code = kz::test::randomBytes(steps * 16 * 1024, static_cast<uint32_t>(row * 7 + 3));
    layout.files[row].content.append(text.begin(), text.end());
    layout.files[row].content.append(code.begin(), code.end());
  }
  kz::test::writeProduct(tree, layout);
  uint64_t treeBytes = 0;
  uint64_t gzip9 = 0;
  uint64_t libdeflate12 = 0;
  for (const auto& e : fs::recursive_directory_iterator(tree)) {
    if (!e.is_regular_file()) continue;
    treeBytes += e.file_size();
    gzip9 += gzip9Size(e.path());
    libdeflate12 += libdeflate12Size(kz::test::readFileBytes(e.path()));
  }
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::printf("tree: %d files, %llu bytes; %u cores\n", kz::kTrackedFileCount, static_cast<unsigned long long>(treeBytes),
              cores);

  const std::string pack = std::string(KZ6_EXE) + " pack '" + tree.string() + "' --no-pad -o '";
  std::vector<double> one;
  std::vector<double> all;
  std::vector<double> speedUp;
  std::vector<double> cpuShare;
  std::vector<double> capacity;
  for (int i = 0; i < runs; ++i) {
    one.push_back(runSeconds(pack + dir.file("one.kz6") + "' --jobs 1"));
    const double cpuBefore = childCpuSeconds();
    all.push_back(runSeconds(pack + dir.file("all.kz6") + "'"));
    cpuShare.push_back((childCpuSeconds() - cpuBefore) / all.back());
    speedUp.push_back(one.back() / all.back());
    // The peer: as many independent one-core packs at once as there are cores. What they gain over
    // one of them alone is what the machine, shared with other work, can give to any parallel job.
    std::string together = "(";
    for (unsigned c = 0; c < cores; ++c) {
      together += pack + dir.file("peer" + std::to_string(c) + ".kz6") + "' --jobs 1 > /dev/null & ";
    }
    together += "wait)";
    capacity.push_back(cores * one.back() / runSeconds(together));
  }
  if (kz::test::readFileBytes(dir.file("one.kz6")) != kz::test::readFileBytes(dir.file("all.kz6"))) {
    std::printf("the forms differ between one and all cores\n");
    return 1;
  }
  printRange("kz6 pack --jobs 1 wall time", one, " s");
  printRange("kz6 pack (all cores) wall time", all, " s");
  printRange("speed-up, pairs of runs", speedUp, "x");
  printRange("cores used by the all-core pack", cpuShare, "");
  printRange("peer: independent packs at once", capacity, "x");
  std::printf("ratio pack speed-up: best one-core / best all-core = %.3f (target >= 1.80 on 2 cores) %s\n",
              *std::min_element(one.begin(), one.end()) / *std::min_element(all.begin(), all.end()),
              *std::min_element(one.begin(), one.end()) / *std::min_element(all.begin(), all.end()) >= 1.8 ? "met"
                                                                                                           : "NOT MET");

  const uint64_t form = fs::file_size(dir.file("one.kz6"));
  std::printf("\nsizes of the same %llu bytes:\n", static_cast<unsigned long long>(treeBytes));
  std::printf("  kz6 pack form (default)      %10llu\n", static_cast<unsigned long long>(form));
  if (best) {
    const double seconds = runSeconds(pack + dir.file("best.kz6") + "' --best");
    std::printf("  kz6 pack --best form         %10llu  (%.0f s)\n",
                static_cast<unsigned long long>(fs::file_size(dir.file("best.kz6"))), seconds);
  }
  std::printf("  gzip -9, one member per file %10llu\n", static_cast<unsigned long long>(gzip9));
  std::printf("  libdeflate 12, per file      %10llu\n", static_cast<unsigned long long>(libdeflate12));
  std::printf("(the forms add a NAME and chunk heads per file: %d files)\n", kz::kTrackedFileCount);
  return 0;
}
