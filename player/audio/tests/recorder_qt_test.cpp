// The voice recorder with the Qt audio backend on the private null sink:
// what the engine plays into the sink is recorded from its monitor, then
// the take is played back and heard on the monitor again. Tolerances are
// generous: the server shares the machine with other work.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/qt_audio.h"
#include "platform/audio/tests/qt_null_sink.h"
#include "platform/riff/wav.h"
#include "player/audio/mci_record.h"
#include "player/audio/recorded_voice.h"
#include "player/audio/wave_out_wnd.h"
#include "player/audio/wave_play.h"

using namespace plat::audio;

namespace {

struct Ends : COrv_WaveNotifyObj {
  int ends = 0;
  void OnWaveEnd(COrv_WavePlay*) override { ++ends; }
  void OnWavePosition(double) override {}
};

// The length in ms of the loud stretch of 16-bit mono samples.
double loudMs(const std::string& samples, uint32_t rate) {
  const size_t n = samples.size() / 2;
  size_t first = n, last = 0;
  for (size_t i = 0; i < n; ++i) {
    const auto v = static_cast<int16_t>(static_cast<uint8_t>(samples[2 * i]) |
                                        (static_cast<uint8_t>(samples[2 * i + 1]) << 8));
    if (std::abs(int{v}) < 1000) continue;
    if (first == n) first = i;
    last = i;
  }
  return first == n ? 0.0 : static_cast<double>(last - first) * 1000.0 / rate;
}

class RecorderQt : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!tvaudio::useNullSink(&why)) GTEST_SKIP() << "no sound server for the Qt audio backend: " << why;
    backend = std::make_unique<QtAudioBackend>(uiDispatcher());
    use = std::make_unique<ScopedBackend>(*backend);
  }
  void TearDown() override {
    use.reset();
    backend.reset();
  }
  std::unique_ptr<QtAudioBackend> backend;
  std::unique_ptr<ScopedBackend> use;
};

TEST_F(RecorderQt, ATakeRecordedFromTheMonitorWhileARangePlaysPlaysBack) {
  COrv_WaveOutWnd engine;
  COrv_WavePlay model;
  std::string bytes;
  ASSERT_FALSE(plat::riff::writeWav(plat::riff::WavFormat::pcm(tvaudio::kRate, 16, 1), tvaudio::tone(1000), bytes));
  ASSERT_TRUE(model.LoadBytes(bytes));

  // Record at the recorder's own format while 500 ms of the tone play.
  COrv_MCIRecord rec;
  ASSERT_TRUE(rec.Open(0));
  ASSERT_TRUE(rec.Record());
  tvaudio::pumpFor(300);
  Ends played;
  ASSERT_TRUE(model.Play(20, 70, &engine, &played, false));
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return played.ends == 1; }, 3000)) << "the range never ended";
  tvaudio::pumpFor(300);
  ASSERT_TRUE(rec.Stop());
  const std::string take = rec.SaveToTempFile();
  ASSERT_FALSE(take.empty());
  EXPECT_TRUE(rec.Close());

  plat::riff::Wav wav;
  ASSERT_FALSE(plat::riff::readWavFile(take, wav));
  EXPECT_EQ(wav.format, plat::riff::WavFormat::pcm(11025, 16, 1));
  EXPECT_NEAR(static_cast<double>(wav.samples.size()) / 2 / 11025 * 1000, 1100.0, 400.0) << "the whole take";
  EXPECT_NEAR(loudMs(wav.samples, 11025), 500.0, 40.0) << "the range, as the monitor heard it";

  // Into the slot, and played back.
  COrv_RecordedVoice voice;
  voice.SetSlotCount(1);
  ASSERT_TRUE(voice.SetCurrentSlot(1));
  ASSERT_EQ(voice.ReplaceTake(take, 0), COrv_RecordedVoice::TakeResult::Kept);
  tvaudio::MonitorCapture monitor;
  ASSERT_TRUE(monitor.start());
  tvaudio::pumpFor(200);
  const size_t from = monitor.samples().size();
  Ends back;
  ASSERT_TRUE(voice.PlayRange(0, 100, &engine, &back));
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return back.ends == 1; }, 5000)) << "the take never ended";
  tvaudio::pumpFor(300);
  monitor.stop();
  const size_t first = monitor.firstLoud(from), last = monitor.lastLoud(from);
  ASSERT_NE(first, tvaudio::MonitorCapture::npos) << "the take was not heard";
  EXPECT_NEAR(static_cast<double>(last - first) * 1000.0 / tvaudio::kRate, 500.0, 50.0);
  engine.Close();
}

}  // namespace
