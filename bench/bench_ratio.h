// A benchmark main that runs every benchmark, then prints each pair's throughput ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kz::bench {

// Keeps the real time per iteration of every run beside the usual console output.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
        cpuSeconds_[run.benchmark_name()] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // ours / peer of the time per iteration: below 1 means ours is faster.
  void printRatio(const std::string& ours, const std::string& peer, const char* label) const {
    const auto a = seconds_.find(ours);
    const auto b = seconds_.find(peer);
    if (a == seconds_.end() || b == seconds_.end() || b->second <= 0) return;
    std::printf("%s: time ratio %s / %s = %.3f (CPU time ratio %.3f)\n", label, ours.c_str(), peer.c_str(),
                a->second / b->second, cpuSeconds_.at(ours) / cpuSeconds_.at(peer));
  }

 private:
  std::map<std::string, double> seconds_;
  std::map<std::string, double> cpuSeconds_;
};

inline int runWithRatios(int argc, char** argv,
                         const std::vector<std::pair<std::pair<std::string, std::string>, const char*>>& pairs) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const auto& [names, label] : pairs) reporter.printRatio(names.first, names.second, label);
  benchmark::Shutdown();
  return 0;
}

}  // namespace kz::bench
