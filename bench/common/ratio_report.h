#pragma once
// Runs the benchmarks of a program and then prints, for each pair of one of
// ours and its baseline, the ratio of their real times per iteration
// against the pair's limit ("ok" or "OVER"), so a run shows at a glance
// whether a target is met; a run with a ratio over its limit fails.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace benchratio {

struct Pair {
  const char* ours;  // benchmark names as the table prints them
  const char* base;
  double limit;
};

class Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

// The whole main of a benchmark program with ratio pairs.
inline int runWithRatios(int argc, char** argv, std::initializer_list<Pair> pairs) {
  benchmark::Initialize(&argc, argv);
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nratio (ours / baseline), limit\n");
  int over = 0;
  for (const Pair& p : pairs) {
    const auto a = reporter.times.find(p.ours), b = reporter.times.find(p.base);
    if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0) continue;
    const double ratio = a->second / b->second;
    std::printf("%-40s %6.2f  %.2f %s\n", p.ours, ratio, p.limit, ratio <= p.limit ? "ok" : "OVER");
    over += ratio > p.limit;
  }
  benchmark::Shutdown();
  // A ratio over its limit fails the run.
  return over ? 1 : 0;
}

}  // namespace benchratio
