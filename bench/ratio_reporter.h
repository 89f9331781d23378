// Runs the registered benchmarks and prints, after the usual table, the ratio of each of ours to
// the peer measured in the same run: "ratio NAME: ours / peer = X (target T)". Each benchmark is
// repeated, the repetitions of all of them in random order, and the ratios are those of the
// medians: a slow spell of the machine (other work, the disk's write-back) then weighs on ours and
// the peer alike instead of on whichever ran during it. A benchmark may also run ours and the peer
// in turns itself and give their ratios as counters (kTimeRatio, kCpuRatio).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kz::bench {

// Counters of a benchmark that measures ours and the peer itself, in turns: the ratios ours/peer
// of their time and CPU time.
inline constexpr char kTimeRatio[] = "time_ours/peer";
inline constexpr char kCpuRatio[] = "cpu_ours/peer";

struct RatioSpec {
  std::string label;
  std::string ours;  // benchmark name (without arguments)
  std::string peer;  // empty: ours measures the peer in turns and gives the ratios as counters
  bool higherIsBetter;  // throughput: ours/peer; time: ours/peer as well, lower is better
  double target;  // 0 for a ratio printed for information only
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      // The median of the repetitions where there are several, whatever order they arrive in.
      Result& r = results_[run.run_name.function_name];
      if (median || !r.median) {
        r = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(), counter(run, "bytes_per_second"),
             counter(run, kTimeRatio), counter(run, kCpuRatio), median};
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Prints every ratio; returns the number of ratios that could not be computed.
  int printRatios(const std::vector<RatioSpec>& ratios) const {
    int missing = 0;
    std::printf("\n");
    for (const RatioSpec& s : ratios) {
      const auto a = results_.find(s.ours);
      const auto b = s.peer.empty() ? a : results_.find(s.peer);
      if (a == results_.end() || b == results_.end() || (s.peer.empty() && a->second.timeRatio <= 0)) {
        std::printf("ratio %s: not measured\n", s.label.c_str());
        ++missing;
        continue;
      }
      if (s.higherIsBetter && s.target <= 0) {
        std::printf("ratio %s: %.1f MB/s / %.1f MB/s = %.3f (for information)\n", s.label.c_str(),
                    a->second.bytesPerSecond / 1e6, b->second.bytesPerSecond / 1e6,
                    a->second.bytesPerSecond / b->second.bytesPerSecond);
      } else if (s.higherIsBetter) {
        const double ratio = a->second.bytesPerSecond / b->second.bytesPerSecond;
        std::printf("ratio %s: %.1f MB/s / %.1f MB/s = %.3f (target >= %.2f) %s\n", s.label.c_str(),
                    a->second.bytesPerSecond / 1e6, b->second.bytesPerSecond / 1e6, ratio, s.target,
                    ratio >= s.target ? "met" : "NOT MET");
      } else {
        const bool inTurns = s.peer.empty();
        const double ratio = inTurns ? a->second.timeRatio : a->second.time / b->second.time;
        const double cpuRatio = inTurns ? a->second.cpuRatio : a->second.cpuTime / b->second.cpuTime;
        std::printf("ratio %s: time ours/peer = %.3f, CPU time ours/peer = %.3f (target <= %.2f) %s\n",
                    s.label.c_str(), ratio, cpuRatio, s.target, ratio <= s.target ? "met" : "NOT MET");
      }
    }
    return missing;
  }

 private:
  struct Result {
    double time;
    double cpuTime;
    double bytesPerSecond;
    double timeRatio;  // counters of a benchmark in turns, else 0
    double cpuRatio;
    bool median;
  };

  static double counter(const Run& run, const char* name) {
    const auto it = run.counters.find(name);
    return it != run.counters.end() ? static_cast<double>(it->second) : 0.0;
  }
  std::map<std::string, Result> results_;
};

// main() for a benchmark binary that prints ratios.
inline int runWithRatios(int argc, char** argv, const std::vector<RatioSpec>& ratios) {
  // Defaults the command line may override: later flags win.
  std::vector<char*> args(argv, argv + argc);
  char repetitions[] = "--benchmark_repetitions=5";
  char interleaving[] = "--benchmark_enable_random_interleaving=true";
  char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
  args.insert(args.begin() + 1, {repetitions, interleaving, aggregatesOnly});
  argc = static_cast<int>(args.size());
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios(ratios);
  benchmark::Shutdown();
  return 0;
}

}  // namespace kz::bench
