// The "waveaudio" recording device on the virtual wave-in device and a
// manual clock.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/audio/dispatcher.h"
#include "platform/audio/mci_wave.h"
#include "platform/audio/virtual_device.h"
#include "platform/riff/wav.h"
#include "platform/testing/test_env.h"

namespace plat::audio {
namespace {

struct MciWave : ::testing::Test {
  ManualDispatcher clock;
  VirtualBackend backend{clock};
  ScopedDispatcher d{clock};
  ScopedBackend b{backend};
  MCIDEVICEID id = 0;

  void SetUp() override {
    MCI_OPEN_PARMS open;
    open.deviceType = "WaveAudio";
    ASSERT_EQ(mciOpen(MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, open), 0u);
    id = open.deviceId;
    ASSERT_NE(id, 0u);
  }
  void TearDown() override { mciClose(MCI_ALL_DEVICE_ID, 0, {}); }

  MCIERROR setFormat(uint32_t rate, uint16_t bits, uint16_t channels, uint32_t timeFormat) {
    const WaveFormat f = WaveFormat::pcm(rate, bits, channels);
    MCI_WAVE_SET_PARMS p;
    p.timeFormat = timeFormat;
    p.formatTag = f.formatTag;
    p.channels = f.channels;
    p.samplesPerSec = f.samplesPerSec;
    p.avgBytesPerSec = f.avgBytesPerSec;
    p.blockAlign = f.blockAlign;
    p.bitsPerSample = f.bitsPerSample;
    return mciSet(id,
                  MCI_SET_TIME_FORMAT | MCI_WAVE_SET_FORMATTAG | MCI_WAVE_SET_CHANNELS | MCI_WAVE_SET_SAMPLESPERSEC |
                      MCI_WAVE_SET_AVGBYTESPERSEC | MCI_WAVE_SET_BLOCKALIGN | MCI_WAVE_SET_BITSPERSAMPLE,
                  p);
  }
  // The frames of the saved take; -1 when it was not saved.
  long savedFrames() {
    const auto path = tvtest::sandbox().tmp / "take.wav";
    if (mciSave(id, MCI_SAVE_FILE, MCI_SAVE_PARMS{nullptr, path})) return -1;
    plat::riff::Wav wav;
    EXPECT_FALSE(plat::riff::readWavFile(path, wav));
    return static_cast<long>(wav.samples.size() / wav.format.blockAlign);
  }
};

TEST_F(MciWave, RefusesWhatItCannotDo) {
  MCI_OPEN_PARMS other;
  other.deviceType = "cdaudio";
  EXPECT_EQ(mciOpen(MCI_OPEN_TYPE, other), MCIERR_INVALID_DEVICE_NAME);
  MCI_OPEN_PARMS file;
  file.deviceType = "waveaudio";
  file.elementName = "take.wav";
  EXPECT_EQ(mciOpen(MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, file), MCIERR_UNSUPPORTED_FUNCTION);

  MCI_WAVE_SET_PARMS set;
  set.bitsPerSample = 12;
  MCI_RECORD_PARMS to1s{nullptr, 0, 1000};
  MCI_RECORD_PARMS from5{nullptr, 5, 1000};
  struct Row {
    const char* name;
    std::function<MCIERROR()> call;
    MCIERROR expected;
  } rows[] = {
      {"unknown id", [&] { return mciStop(id + 100, 0, {}); }, MCIERR_INVALID_DEVICE_ID},
      {"bits 12", [&] { return mciSet(id, MCI_WAVE_SET_BITSPERSAMPLE, set); }, MCIERR_OUTOFRANGE},
      {"align that lies", [&] { return mciSet(id, MCI_WAVE_SET_BLOCKALIGN, set); }, MCIERR_OUTOFRANGE},
      {"time format", [&] {
         MCI_WAVE_SET_PARMS p;
         p.timeFormat = 3;
         return mciSet(id, MCI_SET_TIME_FORMAT, p);
       }, MCIERR_BAD_TIME_FORMAT},
      {"record and wait", [&] { return mciRecord(id, MCI_TO | MCI_WAIT, to1s); }, MCIERR_FLAGS_NOT_COMPATIBLE},
      {"record without an end", [&] { return mciRecord(id, 0, to1s); }, MCIERR_MISSING_PARAMETER},
      {"record from 5", [&] { return mciRecord(id, MCI_FROM | MCI_TO, from5); }, MCIERR_OUTOFRANGE},
      {"record nothing", [&] { return mciRecord(id, MCI_TO, MCI_RECORD_PARMS{nullptr, 0, 0}); }, MCIERR_OUTOFRANGE},
      {"pause when stopped", [&] { return mciPause(id, 0, {}); }, MCIERR_NONAPPLICABLE_FUNCTION},
      {"save nothing", [&] { return mciSave(id, MCI_SAVE_FILE, MCI_SAVE_PARMS{nullptr, "x.wav"}); },
       MCIERR_FILE_NOT_SAVED},
      {"save without a file", [&] { return mciSave(id, 0, {}); }, MCIERR_MISSING_PARAMETER},
  };
  for (const Row& r : rows) EXPECT_EQ(r.call(), r.expected) << r.name;

  // While recording: no new format, no save.
  ASSERT_EQ(mciRecord(id, MCI_TO, to1s), 0u);
  EXPECT_EQ(setFormat(44100, 16, 2, MCI_FORMAT_MILLISECONDS), MCIERR_NONAPPLICABLE_FUNCTION);
  EXPECT_EQ(mciSave(id, MCI_SAVE_FILE, MCI_SAVE_PARMS{nullptr, tvtest::sandbox().tmp / "x.wav"}),
            MCIERR_NONAPPLICABLE_FUNCTION);
  std::string text;
  EXPECT_TRUE(mciGetErrorString(MCIERR_NONAPPLICABLE_FUNCTION, text));
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(mciGetErrorString(0, text));
  EXPECT_FALSE(mciGetErrorString(12345, text));
  EXPECT_EQ(text, "");
}

TEST_F(MciWave, TheEndOfATakeIsCountedInItsTimeFormat) {
  struct Row {
    uint32_t timeFormat, to;
    uint32_t rate;
    uint16_t bits, channels;
    long frames;
  } rows[] = {
      {MCI_FORMAT_MILLISECONDS, 1000, 11025, 16, 1, 11025},
      {MCI_FORMAT_MILLISECONDS, 333, 22050, 8, 2, 7342},
      {MCI_FORMAT_SAMPLES, 1000, 44100, 16, 2, 1000},
      {MCI_FORMAT_BYTES, 1001, 11025, 16, 2, 250},
  };
  for (const Row& r : rows) {
    ASSERT_EQ(setFormat(r.rate, r.bits, r.channels, r.timeFormat), 0u);
    ASSERT_EQ(mciRecord(id, MCI_FROM | MCI_TO, MCI_RECORD_PARMS{nullptr, 0, r.to}), 0u);
    clock.advanceMs(3000);
    EXPECT_EQ(savedFrames(), r.frames) << r.rate << "/" << r.bits << "/" << r.channels;
  }
  // A new format drops the take held.
  ASSERT_EQ(setFormat(11025, 8, 1, MCI_FORMAT_MILLISECONDS), 0u);
  EXPECT_EQ(savedFrames(), -1);
}

TEST_F(MciWave, ClosingEveryDeviceReleasesTheirInputs) {
  MCI_OPEN_PARMS second;
  second.deviceType = "waveaudio";
  ASSERT_EQ(mciOpen(MCI_OPEN_TYPE, second), 0u);
  EXPECT_NE(second.deviceId, id);
  ASSERT_EQ(mciCue(id, MCI_WAVE_INPUT, {}), 0u);
  ASSERT_EQ(mciRecord(second.deviceId, MCI_TO, MCI_RECORD_PARMS{nullptr, 0, 1000}), 0u);
  EXPECT_EQ(backend.openInputs(), 2);
  EXPECT_EQ(mciClose(MCI_ALL_DEVICE_ID, MCI_WAIT, {}), 0u);
  EXPECT_EQ(backend.openInputs(), 0);
  EXPECT_EQ(mciStop(id, 0, {}), MCIERR_INVALID_DEVICE_ID);
  EXPECT_EQ(mciClose(second.deviceId, 0, {}), MCIERR_INVALID_DEVICE_ID);
}

}  // namespace
}  // namespace plat::audio
