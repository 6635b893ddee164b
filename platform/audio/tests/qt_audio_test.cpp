// The Qt audio backend against a private PulseAudio null sink: what is
// played is recorded from the sink's monitor. Tolerances are generous: the
// server shares the machine with other work.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/qt_audio.h"
#include "platform/audio/tests/qt_null_sink.h"

namespace plat::audio {
namespace {

using tvaudio::kRate;
using tvaudio::MonitorCapture;

// Runs `f` when the scope ends, however the test leaves it: a device is
// stopped and dropped before the buffers declared ahead of the guard go,
// also when an assertion ends the test early.
template <class F>
struct OnExit {
  F f;
  ~OnExit() { f(); }
};
template <class F>
OnExit(F) -> OnExit<F>;

template <class Device>
auto stopOnExit(std::unique_ptr<Device>& device) {
  return OnExit{[&device] {
    if (device) {
      device->reset();
      device.reset();
    }
  }};
}

class QtAudio : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!tvaudio::useNullSink(&why)) GTEST_SKIP() << "no sound server for the Qt audio backend: " << why;
    backend = std::make_unique<QtAudioBackend>(uiDispatcher());
  }

  // Opens the default output for 16-bit PCM at kRate, logging every done
  // with the clock reading and whether it came on the UI thread.
  void openOut(uint16_t channels = 1) {
    ASSERT_EQ(backend->openWaveOut(WAVE_MAPPER, WaveFormat::pcm(kRate, 16, channels),
                                   [this](WaveHeader* h) {
                                     dones.push_back(h);
                                     doneAt.push_back(tvaudio::nowUs());
                                     onUiThread = onUiThread && QThread::currentThread() ==
                                                                     QCoreApplication::instance()->thread();
                                   },
                                   out),
              MMSYSERR_NOERROR);
  }

  void play(WaveHeader& h, const std::string& data, size_t from, size_t length) {
    h = WaveHeader{};
    h.data = const_cast<char*>(data.data()) + from;
    h.bufferLength = static_cast<uint32_t>(length);
    ASSERT_EQ(out->prepare(&h), MMSYSERR_NOERROR);
    ASSERT_EQ(out->write(&h), MMSYSERR_NOERROR);
  }

  std::unique_ptr<QtAudioBackend> backend;
  std::unique_ptr<WaveOutDevice> out;
  std::vector<WaveHeader*> dones;
  std::vector<int64_t> doneAt;
  bool onUiThread = true;
};

TEST_F(QtAudio, ARangePlaysWholeAndItsEndComesAfterItsLastSampleWasHeard) {
  MonitorCapture monitor;
  ASSERT_TRUE(monitor.start());
  tvaudio::pumpFor(200);
  const size_t before = monitor.samples().size();
  openOut();
  // A 1 s tone, of which the range 200..700 ms is played.
  const std::string data = tvaudio::tone(1000);
  const size_t from = kRate * 2 / 5 / 2 * 2, length = kRate;  // 0.2 s in, 0.5 s long (bytes)
  WaveHeader h;
  const auto stopOut = stopOnExit(out);
  play(h, data, from, length);
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return !dones.empty(); }, 3000)) << "no done";
  tvaudio::pumpFor(400);
  monitor.stop();

  EXPECT_EQ(dones, std::vector<WaveHeader*>{&h});
  EXPECT_TRUE(onUiThread);
  EXPECT_TRUE(h.flags & WHDR_DONE);
  const size_t first = monitor.firstLoud(before);
  const size_t last = monitor.lastLoud(before);
  ASSERT_NE(first, MonitorCapture::npos) << "nothing reached the monitor";
  // The whole range and nothing more: 500 ms of tone.
  EXPECT_NEAR(static_cast<double>(last - first) * 1000.0 / kRate, 500.0, 25.0);
  // The end is reported once the last sample has been heard, not ~100 ms
  // early as the sink's Idle state would have it.
  const int64_t heardEnd = monitor.timeOf(last);
  EXPECT_GE(doneAt[0], heardEnd - 15000) << "done " << (heardEnd - doneAt[0]) / 1000 << " ms early";
  EXPECT_LE(doneAt[0], heardEnd + 150000) << "done " << (doneAt[0] - heardEnd) / 1000 << " ms late";
}

TEST_F(QtAudio, BuffersComeBackInOrderOnceEachAndPositionsFollowTheSound) {
  openOut();
  const std::string data = tvaudio::tone(900);
  WaveHeader a, b, c;
  const auto stopOut = stopOnExit(out);
  const size_t third = data.size() / 3 / 2 * 2;
  play(a, data, 0, third);
  play(b, data, third, third);
  play(c, data, 2 * third, third);
  const int64_t t0 = tvaudio::nowUs();
  tvaudio::pumpFor(450);
  MMTime t{TIME_MS, 0};
  ASSERT_EQ(out->getPosition(&t), MMSYSERR_NOERROR);
  EXPECT_EQ(t.type, TIME_MS);
  const double elapsed = (tvaudio::nowUs() - t0) / 1000.0;
  // The sound is heard a start latency after the write.
  EXPECT_LE(t.value, elapsed);
  EXPECT_GE(t.value, elapsed - 250.0);
  // Bytes tell the same time, a moment later.
  MMTime bytes{TIME_BYTES, 0};
  out->getPosition(&bytes);
  const double bytesMs = bytes.value / 2.0 * 1000.0 / kRate;
  EXPECT_GE(bytesMs, t.value - 1.0);
  EXPECT_LE(bytesMs, t.value + 60.0);
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return dones.size() == 3; }, 3000));
  tvaudio::pumpFor(100);
  EXPECT_EQ(dones, (std::vector<WaveHeader*>{&a, &b, &c}));
  EXPECT_TRUE(onUiThread);
  // The position stays at the end once all has been heard.
  out->getPosition(&bytes);
  EXPECT_EQ(bytes.value, 3 * third);
  EXPECT_EQ(out->close(), MMSYSERR_NOERROR);
}

TEST_F(QtAudio, ResetHandsEverythingBackAndCloseStopsFurtherDones) {
  openOut();
  const std::string data = tvaudio::tone(1000);
  WaveHeader a, b;
  const auto stopOut = stopOnExit(out);
  play(a, data, 0, data.size() / 2);
  play(b, data, data.size() / 2, data.size() / 2);
  tvaudio::pumpFor(100);
  EXPECT_TRUE(dones.empty());
  EXPECT_EQ(out->close(), WAVERR_STILLPLAYING);
  ASSERT_EQ(out->reset(), MMSYSERR_NOERROR);
  EXPECT_TRUE(dones.empty()) << "a done inside the call";
  EXPECT_TRUE(a.flags & WHDR_DONE);
  MMTime t{TIME_BYTES, 0};
  out->getPosition(&t);
  EXPECT_EQ(t.value, 0u);
  tvaudio::pumpFor(50);
  EXPECT_EQ(dones, (std::vector<WaveHeader*>{&a, &b}));

  // A buffer written and the device reset and closed at once: no done.
  dones.clear();
  play(a, data, 0, data.size());
  out->reset();
  EXPECT_EQ(out->close(), MMSYSERR_NOERROR);
  tvaudio::pumpFor(100);
  EXPECT_TRUE(dones.empty());
}

TEST_F(QtAudio, PauseHoldsThePositionAndRestartGoesOn) {
  openOut();
  const std::string data = tvaudio::tone(600);
  WaveHeader h;
  const auto stopOut = stopOnExit(out);
  play(h, data, 0, data.size());
  tvaudio::pumpFor(200);
  out->pause();
  MMTime p1{TIME_MS, 0}, p2{TIME_MS, 0};
  out->getPosition(&p1);
  tvaudio::pumpFor(300);
  out->getPosition(&p2);
  EXPECT_NEAR(p1.value, p2.value, 5.0);
  EXPECT_TRUE(dones.empty());
  out->restart();
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return !dones.empty(); }, 3000));
  EXPECT_EQ(dones.size(), 1u);
}

TEST_F(QtAudio, LeftAndRightGainsScaleOurStreamOnly) {
  // Record the monitor in stereo through the backend's own wave-in.
  std::unique_ptr<WaveInDevice> in;
  std::vector<WaveHeader*> recorded;
  ASSERT_EQ(backend->openWaveIn(WAVE_MAPPER, WaveFormat::pcm(kRate, 16, 2),
                                [&](WaveHeader* h) { recorded.push_back(h); }, in),
            MMSYSERR_NOERROR);
  std::string take(kRate * 4 * 2, '\0');  // 2 s
  WaveHeader th;
  const auto stopIn = stopOnExit(in);
  th.data = take.data();
  th.bufferLength = static_cast<uint32_t>(take.size());
  ASSERT_EQ(in->prepare(&th), MMSYSERR_NOERROR);
  ASSERT_EQ(in->addBuffer(&th), MMSYSERR_NOERROR);
  ASSERT_EQ(in->start(), MMSYSERR_NOERROR);

  openOut(2);
  ASSERT_EQ(out->setVolume(0x00008000u), MMSYSERR_NOERROR);  // left half, right off
  uint32_t word = 0;
  out->getVolume(&word);
  EXPECT_EQ(word, 0x00008000u);
  const std::string data = tvaudio::stereoTone(500);
  WaveHeader h;
  const auto stopOut = stopOnExit(out);
  play(h, data, 0, data.size());
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return !dones.empty(); }, 3000));
  tvaudio::pumpFor(200);
  in->stop();
  tvaudio::pumpUntil([&] { return !recorded.empty(); }, 1000);
  ASSERT_EQ(recorded.size(), 1u);
  int left = 0, right = 0;
  for (size_t i = 0; i + 3 < th.bytesRecorded; i += 4) {
    int16_t l, r;
    std::memcpy(&l, take.data() + i, 2);
    std::memcpy(&r, take.data() + i + 2, 2);
    left = std::max(left, std::abs(int{l}));
    right = std::max(right, std::abs(int{r}));
  }
  EXPECT_NEAR(left, 4000, 800);
  EXPECT_LT(right, 200);
  EXPECT_EQ(in->close(), MMSYSERR_NOERROR);
}

TEST_F(QtAudio, ATakeRecordedFromTheMonitorPlaysBack) {
  std::unique_ptr<WaveInDevice> in;
  std::vector<WaveHeader*> recorded;
  ASSERT_EQ(backend->openWaveIn(WAVE_MAPPER, WaveFormat::pcm(kRate, 16, 1),
                                [&](WaveHeader* h) { recorded.push_back(h); }, in),
            MMSYSERR_NOERROR);
  // Two buffers of 0.5 s: the first comes back full, the second, partly
  // filled, when stopped.
  std::string take(kRate * 2, '\0');
  WaveHeader b1, b2;
  const auto stopIn = stopOnExit(in);
  for (auto [h, at] : {std::pair{&b1, size_t{0}}, std::pair{&b2, take.size() / 2}}) {
    h->data = take.data() + at;
    h->bufferLength = static_cast<uint32_t>(take.size() / 2);
    ASSERT_EQ(in->prepare(h), MMSYSERR_NOERROR);
    ASSERT_EQ(in->addBuffer(h), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(in->start(), MMSYSERR_NOERROR);
  tvaudio::pumpFor(300);
  openOut();
  const std::string data = tvaudio::tone(400, 440.0);
  WaveHeader h;
  const auto stopOut = stopOnExit(out);
  play(h, data, 0, data.size());
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return !dones.empty(); }, 3000));
  tvaudio::pumpFor(150);
  ASSERT_EQ(in->stop(), MMSYSERR_NOERROR);
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return recorded.size() == 2; }, 1000))
      << recorded.size() << " buffers back after stop";
  EXPECT_EQ(recorded, (std::vector<WaveHeader*>{&b1, &b2}));
  EXPECT_EQ(b1.bytesRecorded, b1.bufferLength);
  const uint32_t total = b1.bytesRecorded + b2.bytesRecorded;
  MMTime pos{TIME_BYTES, 0};
  in->getPosition(&pos);
  EXPECT_EQ(pos.value, total);
  EXPECT_EQ(in->close(), MMSYSERR_NOERROR);

  // Play the take back and hear the tone again on the monitor.
  MonitorCapture monitor;
  ASSERT_TRUE(monitor.start());
  tvaudio::pumpFor(150);
  const size_t before = monitor.samples().size();
  dones.clear();
  WaveHeader back;
  const auto stopOutAgain = stopOnExit(out);
  play(back, take, 0, total);
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return !dones.empty(); }, 4000));
  tvaudio::pumpFor(200);
  monitor.stop();
  const size_t first = monitor.firstLoud(before), last = monitor.lastLoud(before);
  ASSERT_NE(first, MonitorCapture::npos) << "the take is silent";
  EXPECT_NEAR(static_cast<double>(last - first) * 1000.0 / kRate, 400.0, 30.0);
}

TEST_F(QtAudio, DevicesAndFormats) {
  EXPECT_GE(backend->waveOutCount(), 1u);
  EXPECT_GE(backend->waveInCount(), 1u);
  WaveOutCaps caps;
  EXPECT_EQ(backend->waveOutCaps(0, &caps), MMSYSERR_NOERROR);
  EXPECT_TRUE(caps.support & WAVECAPS_LRVOLUME);
  EXPECT_EQ(backend->waveOutCaps(1000, &caps), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(backend->queryWaveOut(WAVE_MAPPER, WaveFormat::pcm(22050, 8, 2)), MMSYSERR_NOERROR);
  EXPECT_EQ(backend->queryWaveOut(WAVE_MAPPER, WaveFormat::pcm(0, 16, 1)), WAVERR_BADFORMAT);
  std::unique_ptr<WaveOutDevice> dev;
  EXPECT_EQ(backend->openWaveOut(WAVE_MAPPER, WaveFormat::pcm(22050, 12, 1), nullptr, dev), WAVERR_BADFORMAT);
  EXPECT_EQ(dev, nullptr);
}

}  // namespace
}  // namespace plat::audio
