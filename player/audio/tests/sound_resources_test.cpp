#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/riff/wav.h"
#include "player/audio/sound_resources.h"

using namespace plat::audio;

namespace {

int16_t sampleAt(const std::string& samples, size_t i) {
  return static_cast<int16_t>(static_cast<uint8_t>(samples[2 * i]) | (static_cast<uint8_t>(samples[2 * i + 1]) << 8));
}

TEST(SoundResources, TheJingleIsAShortChimeRegisteredAtStart) {
  const std::string tada = orv::audio::TadaWave();
  plat::riff::Wav wav;
  ASSERT_FALSE(plat::riff::readWav(tada, wav));
  EXPECT_EQ(wav.format, plat::riff::WavFormat::pcm(22050, 16, 1));
  const size_t frames = wav.samples.size() / 2;
  EXPECT_GT(frames, 22050u / 2);
  EXPECT_LT(frames, 22050u);
  int peak = 0;
  for (size_t i = 0; i < frames; ++i) peak = std::max(peak, std::abs(int{sampleAt(wav.samples, i)}));
  EXPECT_GT(peak, 15000) << "loud enough to hear";
  // It starts and ends in silence, so it plays without a click.
  EXPECT_LT(std::abs(int{sampleAt(wav.samples, 0)}), 100);
  EXPECT_LT(std::abs(int{sampleAt(wav.samples, frames - 1)}), 100);

  // Nobody registered it in this test: linking the player's audio library
  // did.
  ManualDispatcher clock;
  VirtualBackend backend{clock};
  ScopedBackend use{backend};
  EXPECT_TRUE(PlaySound(orv::audio::kTadaResource, SND_RESOURCE | SND_ASYNC));
  ASSERT_EQ(backend.sounds().size(), 1u);
  EXPECT_EQ(backend.sounds()[0], tada.size());
  EXPECT_EQ(backend.calls("PlaySound").back().args, "bytes=" + std::to_string(tada.size()) + " async");
  EXPECT_FALSE(PlaySound("WAVE_NONE", SND_RESOURCE | SND_ASYNC));
}

}  // namespace
