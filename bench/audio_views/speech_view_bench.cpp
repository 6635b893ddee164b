// The speech view's pane: its first paint reads the wave file and builds
// the peaks; a repaint of the same range and width draws from the kept
// peaks. A repaint must cost at most a fifth of a first paint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/common/ratio_report.h"
#include "platform/riff/wav.h"
#include "player/audio/waveform_view.h"

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 200;

// Ten seconds of a 440 Hz tone under a slow swell, 11025 Hz, 16 bits, mono.
const std::filesystem::path& waveFile() {
  static const std::filesystem::path path = [] {
    std::string samples;
    const int frames = 11025 * 10;
    for (int i = 0; i < frames; ++i) {
      const double t = i / 11025.0;
      const auto v = static_cast<int16_t>(20000 * std::sin(2 * M_PI * 0.3 * t) * std::sin(2 * M_PI * 440 * t));
      samples.push_back(static_cast<char>(v & 0xFF));
      samples.push_back(static_cast<char>((static_cast<uint16_t>(v) >> 8) & 0xFF));
    }
    const auto p = std::filesystem::temp_directory_path() / ("bench_speech_view_" + std::to_string(::getpid()) + ".wav");
    if (plat::riff::writeWavFile(p, plat::riff::WavFormat::pcm(11025, 16, 1), samples)) std::abort();
    return p;
  }();
  return path;
}

// As the window system repaints the pane: no background fill first (the
// pane paints every pixel itself).
void paint(COrv_WaveformView& view, QImage& image) { view.render(&image); }

void BM_SpeechViewFirstPaint(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    COrv_WaveformView view;
    view.resize(kWidth, kHeight);
    view.LoadWave(waveFile(), 0, nullptr);
    paint(view, image);
    benchmark::DoNotOptimize(image.bits());
  }
}
BENCHMARK(BM_SpeechViewFirstPaint)->Unit(benchmark::kMicrosecond);

void BM_SpeechViewRepaint(benchmark::State& state) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  COrv_WaveformView view;
  view.resize(kWidth, kHeight);
  if (!view.LoadWave(waveFile(), 0, nullptr)) state.SkipWithError("wave not loaded");
  view.SetSelection(20, 40);
  paint(view, image);
  for (auto _ : state) {
    paint(view, image);
    benchmark::DoNotOptimize(image.bits());
  }
  if (view.PeakReads() != 1) state.SkipWithError("a repaint took the peaks again");
}
BENCHMARK(BM_SpeechViewRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const int rc = benchratio::runWithRatios(argc, argv, {{"BM_SpeechViewRepaint", "BM_SpeechViewFirstPaint", 0.2}});
  std::filesystem::remove(waveFile());
  return rc;
}
