#include "platform/audio/virtual_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"

namespace plat::audio {
namespace {

struct VirtualOut : ::testing::Test {
  ManualDispatcher clock;
  VirtualBackend backend{clock};
  std::vector<WaveHeader*> done;
  std::unique_ptr<WaveOutDevice> dev;
  std::string data = std::string(22050, '\x01');  // 1 s of 11025 Hz 16-bit mono

  void open(const WaveFormat& f = WaveFormat::pcm(11025, 16, 1)) {
    ASSERT_EQ(backend.openWaveOut(WAVE_MAPPER, f, [this](WaveHeader* h) { done.push_back(h); }, dev), 0u);
  }
  WaveHeader header(uint32_t bytes) {
    WaveHeader h;
    h.data = data.data();
    h.bufferLength = bytes;
    return h;
  }
};

TEST_F(VirtualOut, BufferPlaysAtTheByteRateAndIsHandedBackAfterItsEnd) {
  open();
  WaveHeader h = header(22050);
  ASSERT_EQ(dev->prepare(&h), 0u);
  ASSERT_EQ(dev->write(&h), 0u);
  EXPECT_EQ(dev->write(&h), WAVERR_STILLPLAYING);
  clock.advanceMs(500);
  MMTime t;
  t.type = TIME_BYTES;
  ASSERT_EQ(dev->getPosition(&t), 0u);
  EXPECT_EQ(t.value, 11024u) << "half of the data, on a frame boundary";
  clock.advanceMs(499);
  EXPECT_TRUE(done.empty());
  EXPECT_EQ(dev->unprepare(&h), WAVERR_STILLPLAYING);
  clock.advanceMs(2);
  ASSERT_EQ(done, (std::vector<WaveHeader*>{&h}));
  EXPECT_EQ(h.flags, WHDR_DONE | WHDR_PREPARED);
  EXPECT_EQ(dev->unprepare(&h), 0u);
  EXPECT_EQ(dev->close(), 0u);
  EXPECT_EQ(backend.openOutputs(), 0);
}

TEST_F(VirtualOut, PauseHoldsThePositionAndTheEnd) {
  open();
  WaveHeader h = header(22050);
  dev->prepare(&h);
  dev->write(&h);
  clock.advanceMs(300);
  dev->pause();
  clock.advanceMs(5000);
  EXPECT_TRUE(done.empty());
  MMTime t;
  t.type = TIME_MS;
  dev->getPosition(&t);
  EXPECT_EQ(t.type, TIME_MS);
  EXPECT_NEAR(t.value, 300u, 1u);
  dev->restart();
  clock.advanceMs(699);
  EXPECT_TRUE(done.empty());
  clock.advanceMs(2);
  EXPECT_EQ(done.size(), 1u);
}

TEST_F(VirtualOut, ResetReturnsBuffersLaterAndCloseDropsPendingDones) {
  open();
  WaveHeader a = header(2000), b = header(2000);
  dev->prepare(&a);
  dev->prepare(&b);
  dev->write(&a);
  dev->write(&b);
  EXPECT_EQ(dev->close(), WAVERR_STILLPLAYING);
  ASSERT_EQ(dev->reset(), 0u);
  EXPECT_TRUE(done.empty()) << "never inside the call";
  EXPECT_EQ(a.flags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  clock.runDue();
  EXPECT_EQ(done, (std::vector<WaveHeader*>{&a, &b}));

  done.clear();
  dev->write(&a);
  dev->reset();
  ASSERT_EQ(dev->close(), 0u);
  clock.advanceMs(1000);
  EXPECT_TRUE(done.empty());
}

TEST_F(VirtualOut, PositionKindFollowsTheDevice) {
  open(WaveFormat::pcm(22050, 16, 2));
  data.assign(88200, '\0');
  WaveHeader h = header(88200);
  dev->prepare(&h);
  dev->write(&h);
  clock.advanceMs(250);
  struct Row {
    uint32_t kinds, asked, type, value;
  } rows[] = {
      {TIME_MS | TIME_SAMPLES | TIME_BYTES, TIME_SAMPLES, TIME_SAMPLES, 5512},
      {TIME_BYTES, TIME_MS, TIME_BYTES, 22048},
      {TIME_MS, 0x30303030, TIME_MS, 249},
  };
  for (const Row& r : rows) {
    backend.setPositionKinds(r.kinds);
    MMTime t;
    t.type = r.asked;
    ASSERT_EQ(dev->getPosition(&t), 0u);
    EXPECT_EQ(t.type, r.type);
    EXPECT_EQ(t.value, r.value) << r.type;
  }
  dev.reset();  // before the header it still holds goes out of scope
}

TEST_F(VirtualOut, InjectedFailuresAnswerTheirCodeAndAreLogged) {
  backend.failCall("waveOutOpen", MMSYSERR_ALLOCATED);
  std::unique_ptr<WaveOutDevice> d;
  EXPECT_EQ(backend.openWaveOut(WAVE_MAPPER, WaveFormat::pcm(11025, 16, 1), nullptr, d), MMSYSERR_ALLOCATED);
  EXPECT_FALSE(d);
  open();
  backend.failCall("waveOutWrite", MMSYSERR_NOMEM, -1);
  WaveHeader h = header(100);
  dev->prepare(&h);
  EXPECT_EQ(dev->write(&h), MMSYSERR_NOMEM);
  EXPECT_EQ(dev->write(&h), MMSYSERR_NOMEM);
  backend.clearFailures();
  EXPECT_EQ(dev->write(&h), 0u);
  EXPECT_EQ(backend.count("waveOutOpen"), 2u);
  EXPECT_EQ(backend.count("waveOutWrite"), 3u);
  EXPECT_EQ(backend.calls("waveOutOpen")[0].result, MMSYSERR_ALLOCATED);
  dev.reset();  // before the header it still holds goes out of scope
}

TEST_F(VirtualOut, VolumeWordOutlivesTheDeviceAndMonoVolumeCopiesLeft) {
  open();
  ASSERT_EQ(dev->setVolume(0x4000'8000u), 0u);
  dev.reset();
  open();
  uint32_t v = 0;
  ASSERT_EQ(dev->getVolume(&v), 0u);
  EXPECT_EQ(v, 0x4000'8000u);

  VirtualBackend::Options o;
  o.support = WAVECAPS_VOLUME;
  VirtualBackend mono(clock, o);
  std::unique_ptr<WaveOutDevice> m;
  mono.openWaveOut(WAVE_MAPPER, WaveFormat::pcm(11025, 16, 1), nullptr, m);
  m->setVolume(0x4000'8000u);
  EXPECT_EQ(mono.volume(), 0x8000'8000u);
}

TEST_F(VirtualOut, FormatsThatCannotPlayAreRefused) {
  WaveFormat bad = WaveFormat::pcm(11025, 16, 1);
  bad.blockAlign = 3;
  std::unique_ptr<WaveOutDevice> d;
  EXPECT_EQ(backend.openWaveOut(WAVE_MAPPER, bad, nullptr, d), WAVERR_BADFORMAT);
  EXPECT_EQ(backend.queryWaveOut(WAVE_MAPPER, bad), WAVERR_BADFORMAT);
  EXPECT_EQ(backend.queryWaveOut(WAVE_MAPPER, WaveFormat::pcm(44100, 8, 2)), 0u);
  VirtualBackend::Options none;
  none.outCount = 0;
  VirtualBackend empty(clock, none);
  EXPECT_EQ(empty.waveOutCount(), 0u);
  EXPECT_EQ(empty.openWaveOut(WAVE_MAPPER, WaveFormat::pcm(11025, 16, 1), nullptr, d), MMSYSERR_BADDEVICEID);
}

TEST(CapsFlags, EachBitGivesItsFormatAndOthersNone) {
  struct Row {
    uint32_t flag, rate;
    uint16_t bits, channels;
  } rows[] = {{1, 11025, 8, 1},    {2, 11025, 8, 2},    {4, 11025, 16, 1},  {8, 11025, 16, 2},
              {16, 22050, 8, 1},   {32, 22050, 8, 2},   {64, 22050, 16, 1}, {128, 22050, 16, 2},
              {256, 44100, 8, 1},  {512, 44100, 8, 2},  {1024, 44100, 16, 1}, {2048, 44100, 16, 2}};
  for (const Row& r : rows) {
    WaveFormat f;
    ASSERT_TRUE(formatFromCapsFlag(r.flag, f)) << r.flag;
    EXPECT_EQ(f, WaveFormat::pcm(r.rate, r.bits, r.channels)) << r.flag;
    EXPECT_EQ(f.blockAlign, r.bits / 8 * r.channels);
    EXPECT_EQ(f.avgBytesPerSec, f.blockAlign * r.rate);
  }
  for (uint32_t flag : {0u, 3u, 4096u, 0xFFFFFFFFu}) {
    WaveFormat f;
    f.channels = 9;
    EXPECT_FALSE(formatFromCapsFlag(flag, f));
    EXPECT_EQ(f.channels, 9);
  }
}

TEST(VirtualIn, FillsBuffersInOrderAndStopHandsBackThePartOne) {
  ManualDispatcher clock;
  VirtualBackend backend(clock);
  std::vector<WaveHeader*> done;
  std::unique_ptr<WaveInDevice> dev;
  ASSERT_EQ(backend.openWaveIn(WAVE_MAPPER, WaveFormat::pcm(11025, 16, 1),
                               [&](WaveHeader* h) { done.push_back(h); }, dev),
            0u);
  std::string a(2205, '\0'), b(2205, '\0');  // 100 ms each, odd on purpose
  WaveHeader ha, hb;
  ha.data = a.data();
  ha.bufferLength = 2204;
  hb.data = b.data();
  hb.bufferLength = 2204;
  dev->prepare(&ha);
  dev->prepare(&hb);
  dev->addBuffer(&ha);
  dev->addBuffer(&hb);
  dev->start();
  clock.advanceMs(150);
  ASSERT_EQ(done, (std::vector<WaveHeader*>{&ha}));
  EXPECT_EQ(ha.bytesRecorded, 2204u);
  dev->stop();
  clock.advanceMs(1000);  // stopped: nothing more is captured
  ASSERT_EQ(done.size(), 2u);
  EXPECT_NEAR(hb.bytesRecorded, 1102u, 2u);
  EXPECT_NE(a.substr(0, 80), std::string(80, '\0')) << "the input is not silent";
  EXPECT_EQ(dev->close(), 0u);
}

TEST(BackendChoice, TestModeNamesTheBackend) {
  struct Row {
    const char* value;
    const char* chosen;
  } rows[] = {{"virtual", "virtual"}, {"silent", "silent"}, {"1", "silent"}, {"none", "none"}};
  for (const Row& r : rows) {
    setenv("TALVANE_TEST_MODE", r.value, 1);
    EXPECT_EQ(selectedBackendName(), r.chosen) << r.value;
  }
  unsetenv("TALVANE_TEST_MODE");
  const auto names = backendNames();
  const bool hasQt = std::find(names.begin(), names.end(), "qt") != names.end();
  EXPECT_EQ(selectedBackendName(), hasQt ? "qt" : "none");
  ManualDispatcher clock;
  auto made = createBackend("silent", clock);
  ASSERT_TRUE(made);
  EXPECT_EQ(made->name(), "silent");
  EXPECT_FALSE(createBackend("no such", clock));
}

}  // namespace
}  // namespace plat::audio
