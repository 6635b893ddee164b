// The Qt audio backend on the null sink, heard through the sink's monitor.
// The monitor hears every frame a little after the sink has played it (the
// server's loopback and our capture's fragments): that lag is measured in
// the same run with a raw QAudioSink and no engine (Loopback), and taken
// off the figures below.
//   Loopback      a click train played by a bare QAudioSink: at each click
//                 heard on the monitor, how far the sink's own
//                 processedUSecs() had run past the click (median, p95 in
//                 ms); also the bare sink's start latency, call to first
//                 click heard, less that lag.
//   PlayStart     call to the first loud frame on the monitor over 50 plays
//                 through the backend, less the loopback lag (median, p95 in
//                 ms; raw_median_ms keeps the lag in).
//   PositionError the reported position at each click heard on the monitor
//                 against the click's place in the data, less the loopback
//                 lag (median, p95 of the magnitude and the mean signed
//                 error, in ms).
// The program plays on a null sink of its own, and fails when a run heard
// fewer plays or clicks than it made.
#include <benchmark/benchmark.h>

#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/qt_audio.h"
#include "bench/common/ratio_report.h"
#include "platform/audio/tests/qt_null_sink.h"

namespace {
using namespace plat::audio;
using tvaudio::kRate;

double quantile(std::vector<double> v, double q) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

// The position at clock reading `at`, interpolated between the readings
// (clock, position ms) around it; NaN outside them or before the first
// position above 0.
double positionAt(const std::vector<std::pair<int64_t, double>>& reports, int64_t at) {
  auto it = std::lower_bound(reports.begin(), reports.end(), std::pair<int64_t, double>{at, -1e9});
  if (it == reports.begin() || it == reports.end() || it->second <= 0) return NAN;
  const auto& [t1, p1] = *std::prev(it);
  const auto& [t2, p2] = *it;
  return t2 == t1 ? p2 : p1 + (p2 - p1) * static_cast<double>(at - t1) / static_cast<double>(t2 - t1);
}

// Each click's onset on the monitor from sample `from` on, as clock
// readings, for clicks `periodMs` apart.
std::vector<int64_t> clickOnsets(const tvaudio::MonitorCapture& monitor, size_t from, int periodMs) {
  std::vector<int64_t> onsets;
  for (size_t at = from;;) {
    const size_t onset = monitor.firstLoud(at);
    if (onset == tvaudio::MonitorCapture::npos) break;
    onsets.push_back(monitor.timeOf(onset));
    at = onset + kRate * periodMs / 2 / 1000;  // past this click
  }
  return onsets;
}

constexpr int kFirst = 100, kPeriod = 250;
constexpr int kStartPlays = 50;
constexpr int kTrainMs = 3000;  // the click train of PositionError
constexpr int kTrainClicks = (kTrainMs - kFirst + kPeriod - 1) / kPeriod;

// A run that heard fewer plays (or clicks) than it made is refused, not
// reported: the sink lost them, or something else played on it.
void refuse(benchmark::State& state, size_t heard, size_t made, const char* what) {
  const std::string why = "heard " + std::to_string(heard) + " of " + std::to_string(made) + " " + what +
                          ": the run is refused";
  state.SkipWithError(why.c_str());
}

struct LoopbackFigures {
  std::vector<double> lagMs;    // per click heard
  std::vector<double> startMs;  // per round, less the median lag
  double lag() const { return quantile(lagMs, 0.5); }
};

// Plays the click train through a bare QAudioSink on this thread, reading
// processedUSecs() all along, and compares with what the monitor heard.
LoopbackFigures measureLoopback(int rounds) {
  LoopbackFigures fig;
  tvaudio::MonitorCapture monitor;
  if (!monitor.start()) return fig;
  tvaudio::pumpFor(300);
  QAudioFormat f;
  f.setSampleRate(kRate);
  f.setChannelCount(1);
  f.setSampleFormat(QAudioFormat::Int16);
  const std::string data = tvaudio::clicks(1600, kFirst, kPeriod);
  const int64_t lengthUs = static_cast<int64_t>(data.size() / 2) * 1000000 / kRate;
  std::vector<double> rawStart;
  for (int round = 0; round < rounds; ++round) {
    QBuffer buffer;
    buffer.setData(QByteArray(data.data(), static_cast<qsizetype>(data.size())));
    buffer.open(QIODevice::ReadOnly);
    QAudioSink sink(QMediaDevices::defaultAudioOutput(), f);
    const size_t from = monitor.samples().size();
    std::vector<std::pair<int64_t, double>> reports;
    const int64_t call = tvaudio::nowUs();
    sink.start(&buffer);
    if (sink.error() != QAudio::NoError) break;
    tvaudio::pumpUntil(
        [&] {
          reports.emplace_back(tvaudio::nowUs(), sink.processedUSecs() / 1000.0);
          return sink.processedUSecs() >= lengthUs;
        },
        5000);
    tvaudio::pumpFor(150);
    sink.stop();
    const std::vector<int64_t> onsets = clickOnsets(monitor, from, kPeriod);
    for (size_t i = 0; i < onsets.size(); ++i) {
      const double p = positionAt(reports, onsets[i]);
      if (!std::isnan(p)) fig.lagMs.push_back(p - (kFirst + kPeriod * static_cast<double>(i)));
    }
    if (!onsets.empty()) rawStart.push_back((onsets[0] - call) / 1000.0 - kFirst);
  }
  monitor.stop();
  for (double ms : rawStart) fig.startMs.push_back(ms - fig.lag());
  return fig;
}

// Measured once, before the benchmarks that use it.
const LoopbackFigures& loopback() {
  static const LoopbackFigures fig = measureLoopback(5);
  return fig;
}

void Loopback(benchmark::State& state) {
  for (auto _ : state) {
    const LoopbackFigures& fig = loopback();
    if (fig.lagMs.empty()) {
      state.SkipWithError("no click heard from the bare sink");
      return;
    }
    state.counters["lag_median_ms"] = fig.lag();
    state.counters["lag_p95_ms"] = quantile(fig.lagMs, 0.95);
    state.counters["bare_start_median_ms"] = quantile(fig.startMs, 0.5);
    state.counters["clicks"] = static_cast<double>(fig.lagMs.size());
  }
}

struct Rig {
  QtAudioBackend backend{uiDispatcher()};
  std::unique_ptr<WaveOutDevice> out;
  int dones = 0;
  tvaudio::MonitorCapture monitor;
  bool ok = false;
  Rig() {
    ok = backend.openWaveOut(WAVE_MAPPER, WaveFormat::pcm(kRate, 16, 1), [this](WaveHeader*) { ++dones; },
                             out) == MMSYSERR_NOERROR &&
         monitor.start();
    tvaudio::pumpFor(300);
  }
  ~Rig() { monitor.stop(); }
  void play(WaveHeader& h, const std::string& data) {
    h = WaveHeader{};
    h.data = const_cast<char*>(data.data());
    h.bufferLength = static_cast<uint32_t>(data.size());
    out->prepare(&h);
    out->write(&h);
  }
};

void PlayStart(benchmark::State& state) {
  Rig rig;
  if (!rig.ok) {
    state.SkipWithError("no output or monitor");
    return;
  }
  const double lag = loopback().lag();
  const std::string data = tvaudio::tone(100);
  std::vector<double> ms;
  for (auto _ : state) {
    for (int i = 0; i < kStartPlays; ++i) {
      const size_t from = rig.monitor.samples().size();
      WaveHeader h;
      const int before = rig.dones;
      const int64_t call = tvaudio::nowUs();
      rig.play(h, data);
      tvaudio::pumpUntil([&] { return rig.dones > before; }, 3000);
      tvaudio::pumpFor(80);
      const size_t first = rig.monitor.firstLoud(from);
      if (first != tvaudio::MonitorCapture::npos)
        ms.push_back((rig.monitor.timeOf(first) - call) / 1000.0);
    }
  }
  if (ms.size() < static_cast<size_t>(kStartPlays) * static_cast<size_t>(state.iterations())) {
    refuse(state, ms.size(), static_cast<size_t>(kStartPlays) * static_cast<size_t>(state.iterations()), "plays");
    return;
  }
  std::vector<double> net;
  for (double v : ms) net.push_back(v - lag);
  state.counters["median_ms"] = quantile(net, 0.5);
  state.counters["p95_ms"] = quantile(net, 0.95);
  state.counters["raw_median_ms"] = quantile(ms, 0.5);
  state.counters["lag_ms"] = lag;
  state.counters["plays_heard"] = static_cast<double>(ms.size());
}

void PositionError(benchmark::State& state) {
  Rig rig;
  if (!rig.ok) {
    state.SkipWithError("no output or monitor");
    return;
  }
  const double lag = loopback().lag();
  const std::string data = tvaudio::clicks(kTrainMs, kFirst, kPeriod);
  std::vector<double> err, signedErr;
  for (auto _ : state) {
    const size_t from = rig.monitor.samples().size();
    std::vector<std::pair<int64_t, double>> reports;  // (clock, position ms)
    WaveHeader h;
    rig.out->reset();  // positions count from here
    const int before = rig.dones;
    rig.play(h, data);
    tvaudio::pumpUntil(
        [&] {
          MMTime t{TIME_SAMPLES, 0};
          rig.out->getPosition(&t);
          reports.emplace_back(tvaudio::nowUs(), t.value * 1000.0 / kRate);
          return rig.dones > before;
        },
        5000);
    tvaudio::pumpFor(100);
    // The position reported when each click was heard, less the lag of
    // the monitor, against the click's place in the data.
    const std::vector<int64_t> onsets = clickOnsets(rig.monitor, from, kPeriod);
    if (onsets.size() != static_cast<size_t>(kTrainClicks)) return refuse(state, onsets.size(), kTrainClicks, "clicks");
    for (size_t i = 0; i < onsets.size(); ++i) {
      const double p = positionAt(reports, onsets[i]);
      if (std::isnan(p)) continue;
      const double e = p - lag - (kFirst + kPeriod * static_cast<double>(i));
      err.push_back(std::abs(e));
      signedErr.push_back(e);
    }
  }
  double mean = 0;
  for (double e : signedErr) mean += e;
  state.counters["median_abs_ms"] = quantile(err, 0.5);
  state.counters["p95_abs_ms"] = quantile(err, 0.95);
  state.counters["mean_signed_ms"] = signedErr.empty() ? 0 : mean / static_cast<double>(signedErr.size());
  state.counters["lag_ms"] = lag;
  state.counters["clicks"] = static_cast<double>(err.size());
}

BENCHMARK(Loopback)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PlayStart)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PositionError)->Iterations(3)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::string why;
  tvaudio::PrivateNullSink sink;
  if (!sink.start(&why)) {
    std::fprintf(stderr, "bench_audio_latency: %s\n", why.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchratio::Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.failed ? 1 : 0;
}
