// The Qt audio backend on the null sink, heard through the sink's monitor:
//   PlayStart     call to the first loud frame on the monitor over 50 plays
//                 (median, p95 in ms). The monitor's capture times are the
//                 arrival of each chunk less the frames after the sample, so
//                 the figure still holds the monitor's own loopback latency
//                 (at most its 20 ms fragment) and is an upper bound.
//   PositionError the reported position at each click heard on the monitor
//                 against the click's place in the data (median, p95 of the
//                 magnitude and the mean signed error, in ms).
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/qt_audio.h"
#include "platform/audio/tests/qt_null_sink.h"

namespace {
using namespace plat::audio;
using tvaudio::kRate;

double quantile(std::vector<double> v, double q) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
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
  const std::string data = tvaudio::tone(100);
  std::vector<double> ms;
  for (auto _ : state) {
    for (int i = 0; i < 50; ++i) {
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
  state.counters["median_ms"] = quantile(ms, 0.5);
  state.counters["p95_ms"] = quantile(ms, 0.95);
  state.counters["plays_heard"] = static_cast<double>(ms.size());
}

void PositionError(benchmark::State& state) {
  Rig rig;
  if (!rig.ok) {
    state.SkipWithError("no output or monitor");
    return;
  }
  constexpr int kFirst = 100, kPeriod = 250;
  const std::string data = tvaudio::clicks(3000, kFirst, kPeriod);
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
    // Each click's onset on the monitor, and the position reported then.
    size_t at = from;
    for (int i = 0;; ++i) {
      const size_t onset = rig.monitor.firstLoud(at);
      if (onset == tvaudio::MonitorCapture::npos) break;
      const int64_t heard = rig.monitor.timeOf(onset);
      auto it = std::lower_bound(reports.begin(), reports.end(), std::pair<int64_t, double>{heard, -1e9});
      if (it != reports.begin() && it != reports.end() && it->second > 0) {
        const auto& [t1, p1] = *std::prev(it);
        const auto& [t2, p2] = *it;
        const double p = t2 == t1 ? p2 : p1 + (p2 - p1) * static_cast<double>(heard - t1) / (t2 - t1);
        const double e = p - (kFirst + kPeriod * i);
        err.push_back(std::abs(e));
        signedErr.push_back(e);
      }
      at = onset + kRate * kPeriod / 2 / 1000;  // past this click
    }
  }
  double mean = 0;
  for (double e : signedErr) mean += e;
  state.counters["median_abs_ms"] = quantile(err, 0.5);
  state.counters["p95_abs_ms"] = quantile(err, 0.95);
  state.counters["mean_signed_ms"] = signedErr.empty() ? 0 : mean / static_cast<double>(signedErr.size());
  state.counters["clicks"] = static_cast<double>(err.size());
}

BENCHMARK(PlayStart)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PositionError)->Iterations(3)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::string why;
  if (!tvaudio::useNullSink(&why)) {
    std::fprintf(stderr, "bench_audio_latency: %s\n", why.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
