#include "player/install/wave_stretch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/riff/riff.h"
#include "platform/riff/wav.h"
#include "tools/book/book_fixture.h"

namespace {

using orv::install::stretchWave;
namespace riff = plat::riff;

std::string tone(const riff::WavFormat& format, std::size_t frames) {
  std::string samples;
  for (std::size_t i = 0; i < frames * format.channels; ++i) {
    const double v = std::sin(2.0 * 3.14159265358979 * 300.0 * static_cast<double>(i / format.channels) / format.sampleRate);
    if (format.bitsPerSample == 8) {
      samples.push_back(static_cast<char>(static_cast<std::uint8_t>(128 + std::lround(60 * v))));
    } else {
      const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(8000 * v)));
      samples.push_back(static_cast<char>(s & 0xFF));
      samples.push_back(static_cast<char>(s >> 8));
    }
  }
  std::string wav;
  EXPECT_FALSE(riff::writeWav(format, samples, wav));
  return wav;
}

// Faster and slower renderings keep the format and last the factor's share
// of the time; the segment chunk of the source is not carried over.
TEST(StretchWave, LengthFollowsTheFactorAndTheFormatStays) {
  struct Case {
    riff::WavFormat format;
    double factor;
  };
  const Case cases[] = {
      {riff::WavFormat::pcm(11025, 16, 1), 0.8},
      {riff::WavFormat::pcm(11025, 16, 1), 1.2},
      {riff::WavFormat::pcm(22050, 16, 2), 0.8},
      {riff::WavFormat::pcm(8000, 8, 1), 1.2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.format.channels) + " channels, " + std::to_string(c.format.bitsPerSample) +
                 " bits, factor " + std::to_string(c.factor));
    std::string wav = tone(c.format, c.format.sampleRate);  // one second
    riff::appendChunk(wav, riff::makeId("QLON"), tvtools::book::segmentChunkBody(c.format.sampleRate * c.format.blockAlign, {1.0f}));
    std::string out;
    ASSERT_FALSE(stretchWave(wav, c.factor, out));
    riff::Wav got;
    ASSERT_FALSE(riff::readWav(out, got));
    EXPECT_EQ(got.format, c.format);
    const double frames = static_cast<double>(got.samples.size() / c.format.blockAlign);
    EXPECT_NEAR(frames, c.factor * c.format.sampleRate, 0.02 * c.format.sampleRate);
    EXPECT_EQ(got.layout.chunks.size(), 2u);  // fmt and data only
    // Not silence: the speech is still there.
    EXPECT_NE(got.samples.find_first_not_of(c.format.bitsPerSample == 8 ? '\x80' : '\0'), std::string::npos);
  }
}

TEST(StretchWave, Refusals) {
  std::string out = "stale";
  EXPECT_EQ(stretchWave("RIFF", 0.8, out), std::errc::invalid_argument);
  EXPECT_TRUE(out.empty());
  const std::string wav = tone(riff::WavFormat::pcm(8000, 16, 1), 100);
  EXPECT_EQ(stretchWave(wav, 0.0, out), std::errc::invalid_argument);
  EXPECT_EQ(stretchWave(wav, NAN, out), std::errc::invalid_argument);
  EXPECT_EQ(stretchWave(tone(riff::WavFormat::pcm(8000, 24, 1), 100), 0.8, out), std::errc::not_supported);
  // An empty recording stays empty.
  ASSERT_FALSE(stretchWave(tone(riff::WavFormat::pcm(8000, 16, 1), 0), 1.2, out));
  riff::Wav got;
  ASSERT_FALSE(riff::readWav(out, got));
  EXPECT_TRUE(got.samples.empty());
}

// Only a readable format chunk of PCM or float samples is named; what
// the strict reader must judge (damage, compressed formats) is not.
TEST(UnsupportedSampleFormat, NamesOnlyWhatItCanRead) {
  const std::string base = tone(riff::WavFormat::pcm(8000, 16, 1), 10);
  auto withFormat = [&](std::uint16_t tag, std::uint16_t bits) {
    std::string w = base;  // the canonical header: tag at 20, bits at 34
    w[20] = static_cast<char>(tag);
    w[34] = static_cast<char>(bits);
    return w;
  };
  struct Case {
    const char* what;
    std::string wav;
    std::string named;
  };
  const Case cases[] = {
      {"16-bit PCM", withFormat(1, 16), ""},
      {"12-bit PCM", withFormat(1, 12), "12-bit PCM"},
      {"0 bits", withFormat(1, 0), ""},
      {"ADPCM", withFormat(2, 4), ""},
      {"64-bit float", withFormat(3, 64), "64-bit float"},
      {"no RIFF form", "RIFF", ""},
      {"format chunk cut short", base.substr(0, 30), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(orv::install::unsupportedSampleFormat(c.wav), c.named) << c.what;
}

}  // namespace
