#include "player/install/wave_stretch.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/riff/wav.h"

namespace orv::install {
namespace {

using soundtouch::SAMPLETYPE;

// Samples as SoundTouch takes them (float in [-1, 1) in Debian's build).
float toUnit(const plat::riff::WavFormat& f, const std::string& s, size_t i) {
  if (f.bitsPerSample == 8) return (static_cast<float>(static_cast<uint8_t>(s[i])) - 128.0f) / 128.0f;
  const auto v = static_cast<int16_t>(static_cast<uint8_t>(s[2 * i]) | static_cast<uint8_t>(s[2 * i + 1]) << 8);
  return static_cast<float>(v) / 32768.0f;
}

void appendUnit(const plat::riff::WavFormat& f, float v, std::string& out) {
  v = std::clamp(v, -1.0f, 1.0f);
  if (f.bitsPerSample == 8) {
    out.push_back(static_cast<char>(static_cast<uint8_t>(std::lround(std::min(v * 128.0f + 128.0f, 255.0f)))));
    return;
  }
  const auto s = static_cast<int16_t>(std::lround(std::clamp(v * 32768.0f, -32768.0f, 32767.0f)));
  out.push_back(static_cast<char>(static_cast<uint16_t>(s) & 0xFF));
  out.push_back(static_cast<char>(static_cast<uint16_t>(s) >> 8));
}

SAMPLETYPE fromUnit(float v) {
#ifdef SOUNDTOUCH_INTEGER_SAMPLES
  return static_cast<SAMPLETYPE>(std::lround(std::clamp(v * 32768.0f, -32768.0f, 32767.0f)));
#else
  return v;
#endif
}

float toUnit(SAMPLETYPE v) {
#ifdef SOUNDTOUCH_INTEGER_SAMPLES
  return static_cast<float>(v) / 32768.0f;
#else
  return v;
#endif
}

}  // namespace

std::error_code stretchWave(std::string_view wav, double factor, std::string& out) {
  out.clear();
  if (!(factor > 0.25 && factor < 4.0)) return std::make_error_code(std::errc::invalid_argument);
  plat::riff::Wav in;
  if (plat::riff::readWav(wav, in)) return std::make_error_code(std::errc::invalid_argument);
  const plat::riff::WavFormat& f = in.format;
  if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return std::make_error_code(std::errc::not_supported);
  const size_t channels = f.channels;
  const size_t frames = in.samples.size() / f.blockAlign;

  soundtouch::SoundTouch st;
  st.setSampleRate(f.sampleRate);
  st.setChannels(static_cast<unsigned>(channels));
  st.setTempo(1.0 / factor);  // tempo 1.25 plays in 0.8 of the time

  const plat::riff::WavFormat outFormat = plat::riff::WavFormat::pcm(f.sampleRate, f.bitsPerSample, f.channels);
  std::string samples;
  samples.reserve(static_cast<size_t>(static_cast<double>(in.samples.size()) * factor) + 1024);
  std::vector<SAMPLETYPE> buffer(4096 * channels);
  auto drain = [&]() {
    for (;;) {
      const unsigned got = st.receiveSamples(buffer.data(), 4096);
      if (got == 0) break;
      for (size_t i = 0; i < got * channels; ++i) appendUnit(outFormat, toUnit(buffer[i]), samples);
    }
  };
  std::vector<SAMPLETYPE> chunk;
  for (size_t frame = 0; frame < frames;) {
    const size_t n = std::min<size_t>(4096, frames - frame);
    chunk.resize(n * channels);
    for (size_t i = 0; i < n * channels; ++i) {
      // Samples are interleaved frame by frame.
      chunk[i] = fromUnit(toUnit(f, in.samples, frame * channels + i));
    }
    st.putSamples(chunk.data(), static_cast<unsigned>(n));
    drain();
    frame += n;
  }
  st.flush();
  drain();
  // flush() pads with silence up to the processing block: keep the length
  // the factor asks for.
  const size_t wanted = static_cast<size_t>(std::llround(static_cast<double>(frames) * factor)) * f.blockAlign;
  if (samples.size() > wanted) samples.resize(wanted);
  if (std::error_code ec = plat::riff::writeWav(outFormat, samples, out)) {
    out.clear();
    return ec;
  }
  return {};
}

}  // namespace orv::install
