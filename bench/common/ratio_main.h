// A main for benchmarks that run their baseline in the same process: after the runs it
// prints each subject's time as a ratio of its baseline's time. It fails when a run
// reported an error, so that a brief run in CI catches a benchmark that no longer works.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pellix_bench {

class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      failed = failed || run.error_occurred;
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        times[run.benchmark_name()] =
            run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // Real time of one run, in nanoseconds.
  std::map<std::string, double> times;
  bool failed = false;
};

// Pairs of (subject, baseline) benchmark names; itemsPerRun > 1 also prints the time
// of one item of each.
inline int RunWithRatios(int argc, char** argv,
                         const std::vector<std::pair<std::string, std::string>>& pairs,
                         double itemsPerRun = 1) {
  benchmark::Initialize(&argc, argv);
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const auto& [subject, baseline] : pairs) {
    auto s = reporter.times.find(subject);
    auto b = reporter.times.find(baseline);
    if (s == reporter.times.end() || b == reporter.times.end()) continue;
    std::printf("ratio %s / %s = %.2f", subject.c_str(), baseline.c_str(), s->second / b->second);
    if (itemsPerRun > 1) {
      std::printf("  (per item: %.0f ns against %.0f ns)", s->second / itemsPerRun,
                  b->second / itemsPerRun);
    }
    std::printf("\n");
  }
  benchmark::Shutdown();
  return reporter.failed ? 1 : 0;
}

}  // namespace pellix_bench
