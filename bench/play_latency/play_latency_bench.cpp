// Play (F8) from the key to the first sample heard on the null sink's
// monitor, through the main frame's command table and audio commands, on a
// book installed from a packet, against the wave-out engine's own play
// start on the same Echomark in the same run.
//   EngineStart       a fresh engine: Play, then Reset and Close as every
//                     stop does; call to the first loud sample heard.
//   KeyToFirstSample  a fresh main frame: the F8 shortcut fired, then F10;
//                     shortcut to the first loud sample heard. The first
//                     play after start-up is one of the plays measured.
// Each reports its median as the time per iteration (so the ratio line
// compares medians), and median, p95 and the first play in ms. Both
// figures keep the monitor's own lag in, which both share. The program
// plays on a null sink of its own; a run that hears fewer plays than it
// started is refused, and the program fails when a ratio is over its limit
// or cannot be made.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeySequence>
#include <QShortcut>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "bench/common/ratio_report.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/tests/qt_null_sink.h"
#include "platform/testing/sandbox.h"
#include "platform/ui/recording_sink.h"
#include "player/audio/wave_out_wnd.h"
#include "player/audio/wave_play.h"
#include "player/shell/main_frame.h"
#include "player/shell/play_commands.h"
#include "player/shell/tests/installed_book.h"

namespace {

constexpr int kPlays = 30;

double quantile(std::vector<double> v, double q) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

// Made by main, inside the application's lifetime.
tvaudio::MonitorCapture* g_monitor = nullptr;
playtest::InstalledBook* g_book = nullptr;
tvaudio::MonitorCapture& monitor() { return *g_monitor; }
playtest::InstalledBook& book() { return *g_book; }

// Milliseconds from `start` to the first loud sample after `from`; -1 when
// nothing was heard within two seconds.
double heardAfter(size_t from, int64_t start) {
  tvaudio::MonitorCapture& m = monitor();
  if (!tvaudio::pumpUntil([&] { return m.firstLoud(from) != tvaudio::MonitorCapture::npos; }, 2000)) return -1;
  return static_cast<double>(m.timeOf(m.firstLoud(from)) - start) / 1000.0;
}

// The figures of `ms`, one per play heard, of `started` plays. A play not
// heard is no figure: a run that heard fewer plays than it started is
// refused (the sink lost them, or something else played on it).
bool report(benchmark::State& state, const std::vector<double>& ms, int started) {
  if (static_cast<int>(ms.size()) < started) {
    const std::string why = "heard " + std::to_string(ms.size()) + " of " + std::to_string(started) +
                            " plays: the run is refused";
    state.SkipWithError(why.c_str());
    return false;
  }
  state.counters["median_ms"] = quantile(ms, 0.5);
  state.counters["p95_ms"] = quantile(ms, 0.95);
  state.counters["first_ms"] = ms.empty() ? -1 : ms.front();
  state.counters["plays_heard"] = static_cast<double>(ms.size());
  return true;
}

void EngineStart(benchmark::State& state) {
  COrv_WavePlay wave;
  if (!wave.LoadFile(book().QuotePlayer().GetWaveFileName())) {
    state.SkipWithError("the Echomark's wave does not load");
    return;
  }
  for (auto _ : state) {
    std::vector<double> ms;
    COrv_WaveOutWnd engine;
    for (int i = 0; i < kPlays; ++i) {
      const size_t from = monitor().samples().size();
      const int64_t start = tvaudio::nowUs();
      engine.Play(&wave, 0.0f, 100.0f, true);
      const double heard = heardAfter(from, start);
      if (heard >= 0) ms.push_back(heard);
      engine.Reset();
      engine.UnprepareHeader();
      engine.Close();
      tvaudio::pumpFor(60);
    }
    if (!report(state, ms, kPlays)) return;
    state.SetIterationTime(quantile(ms, 0.5) / 1000.0);
  }
}

struct OneBook : TalvaneDocuments {
  bool OpenDocumentFile(const std::string&) override { return true; }
  bool HasActiveDocument() const override { return true; }
  void CloseActiveDocument() override {}
};

QShortcut* shortcut(CMainFrame& frame, const char* key) {
  for (QShortcut* s : frame.Commands().Shortcuts())
    if (s->key() == QKeySequence(key)) return s;
  return nullptr;
}

void KeyToFirstSample(benchmark::State& state) {
  OneBook documents;
  for (auto _ : state) {
    std::vector<double> ms;
    FrameServices services;
    services.createDdeServer = [] { return true; };
    services.documents = &documents;
    services.playBook = &book();
    CMainFrame frame(services);
    if (!frame.OnCreate() || !shortcut(frame, "F8") || !shortcut(frame, "F10")) {
      state.SkipWithError("no frame or no F8");
      return;
    }
    for (int i = 0; i < kPlays; ++i) {
      const size_t from = monitor().samples().size();
      const int64_t start = tvaudio::nowUs();
      emit shortcut(frame, "F8")->activated();
      const double heard = heardAfter(from, start);
      if (heard >= 0) ms.push_back(heard);
      emit shortcut(frame, "F10")->activated();
      tvaudio::pumpFor(60);
    }
    if (!report(state, ms, kPlays)) return;
    state.SetIterationTime(quantile(ms, 0.5) / 1000.0);
  }
}

// The frame first, so that its first play is the first of the process.
BENCHMARK(KeyToFirstSample)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(EngineStart)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // A world of its own: settings, data path and temporary files under a
  // fresh folder, never the user's.
  char base[] = "/tmp/talvane-play-bench-XXXXXX";
  if (mkdtemp(base) == nullptr) return 1;
  tvtest::enterSandbox(base);
  tvtest::setTestProcessVariables();
  std::string why;
  tvaudio::PrivateNullSink sink;
  if (!sink.start(&why)) {
    std::fprintf(stderr, "bench_play_latency: %s\n", why.c_str());
    return 1;
  }
  QApplication app(argc, argv);
  plat::ui::RecordingSink boxes;  // nobody answers a box here
  plat::ui::ScopedSink scoped(boxes);
  if (!playtest::installHamlet(base)) {
    std::fprintf(stderr, "bench_play_latency: the book does not install\n");
    return 1;
  }
  int rc = 1;
  {
    auto capture = std::make_unique<tvaudio::MonitorCapture>();
    auto installed = std::make_unique<playtest::InstalledBook>();
    if (!capture->start() || !installed->Open("HAMLET")) {
      std::fprintf(stderr, "bench_play_latency: no monitor, or the installed book does not open\n");
      return 1;
    }
    tvaudio::pumpFor(300);
    g_monitor = capture.get();
    g_book = installed.get();
    rc = benchratio::runWithRatios(argc, argv, {{"KeyToFirstSample/iterations:1/manual_time",
                                                 "EngineStart/iterations:1/manual_time", 1.3}});
    g_book = nullptr;
    g_monitor = nullptr;
    capture->stop();
  }
  std::error_code ec;
  std::filesystem::remove_all(base, ec);
  return rc;
}
