#pragma once
// Runs the benchmarks of a program and then prints, for each pair of one of
// ours and its baseline, the ratio of their real times per iteration
// against the pair's limit ("ok" or "OVER"), so a run shows at a glance
// whether a target is met. The program fails (exit code 1) when a ratio is
// over its limit or a benchmark stopped with an error (a refused run).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace benchratio {

// Milliseconds that `work` takes, once.
template <class Work>
double timedMs(Work&& work) {
  const auto t = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// For ours and its baseline timed in turn in every iteration of one run:
// the ratio of the medians as the counter "ratio" with its "limit" (and the
// medians as "ours_ms" and "plain_ms"); the run fails, saying the figures,
// when the ratio is over the limit. On a shared machine a burst of other
// work lands on one side of a single iteration, and the median leaves it
// out.
inline void reportMedians(benchmark::State& state, const std::vector<double>& ours, const std::vector<double>& base,
                          double limit, const char* what) {
  const double o = median(ours), b = median(base);
  const double ratio = b > 0 ? o / b : 0;
  state.counters["ratio"] = ratio;
  state.counters["ours_ms"] = o;
  state.counters["plain_ms"] = b;
  state.counters["limit"] = limit;
  if (ratio > limit) {
    // The table shows no counters for a failed run: say the figures here.
    std::fprintf(stderr, "%s: ratio %.2f (ours %.3f ms, baseline %.3f ms, medians), limit %.2f\n", what, ratio, o, b,
                 limit);
    state.SkipWithError(what);
  }
}

struct Pair {
  const char* ours;  // benchmark names as the table prints them
  const char* base;
  double limit;
};

class Reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred) failed = true;
      else if (r.run_type == Run::RT_Iteration) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
  bool failed = false;  // a benchmark stopped with an error (a refused run)
};

// The whole main of a benchmark program with ratio pairs.
inline int runWithRatios(int argc, char** argv, std::initializer_list<Pair> pairs) {
  benchmark::Initialize(&argc, argv);
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nratio (ours / baseline), limit\n");
  bool failed = reporter.failed;
  for (const Pair& p : pairs) {
    const auto a = reporter.times.find(p.ours), b = reporter.times.find(p.base);
    if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0) {
      // Filtered out, or refused (which fails the run through the error).
      std::printf("%-40s %6s  %.2f %s\n", p.ours, "-", p.limit, "no figure");
      continue;
    }
    const double ratio = a->second / b->second;
    std::printf("%-40s %6.2f  %.2f %s\n", p.ours, ratio, p.limit, ratio <= p.limit ? "ok" : "OVER");
    if (ratio > p.limit) failed = true;
  }
  benchmark::Shutdown();
  return failed ? 1 : 0;
}

}  // namespace benchratio
