#include "player/install/wave_stretch.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/riff/wav.h"

namespace orv::install {
namespace {

using soundtouch::SAMPLETYPE;

// Samples as SoundTouch takes them (float in [-1, 1) in Debian's build).
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

// `count` samples from `bytes` (interleaved) as SoundTouch takes them.
void decode(const plat::riff::WavFormat& f, const std::uint8_t* bytes, std::size_t count, SAMPLETYPE* out) {
  if (f.bitsPerSample == 8) {
    for (std::size_t i = 0; i < count; ++i) out[i] = fromUnit((static_cast<float>(bytes[i]) - 128.0f) / 128.0f);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    out[i] = fromUnit(static_cast<float>(v) / 32768.0f);
  }
}

// Appends `count` samples in the file's sample size, rounded and clipped.
void encode(const plat::riff::WavFormat& f, const SAMPLETYPE* samples, std::size_t count, std::string& out) {
  const std::size_t at = out.size();
  out.resize(at + count * (f.bitsPerSample / 8));
  auto* o = reinterpret_cast<std::uint8_t*>(out.data() + at);
  if (f.bitsPerSample == 8) {
    for (std::size_t i = 0; i < count; ++i) {
      const float v = std::clamp(toUnit(samples[i]), -1.0f, 1.0f);
      o[i] = static_cast<std::uint8_t>(std::lround(std::min(v * 128.0f + 128.0f, 255.0f)));
    }
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const float v = std::clamp(toUnit(samples[i]), -1.0f, 1.0f);
    const auto s =
        static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(std::clamp(v * 32768.0f, -32768.0f, 32767.0f))));
    o[2 * i] = static_cast<std::uint8_t>(s & 0xFF);
    o[2 * i + 1] = static_cast<std::uint8_t>(s >> 8);
  }
}

constexpr std::uint16_t kFormatFloat = 3;

}  // namespace

std::string unsupportedSampleFormat(std::string_view wav) {
  const plat::riff::MemorySource src(wav);
  plat::riff::RiffLayout layout;
  if (plat::riff::readLayout(src, plat::riff::kWaveForm, layout)) return {};
  const plat::riff::Chunk* fmt = layout.find(plat::riff::kFmtId);
  std::string body;
  if (!fmt || plat::riff::readBody(src, *fmt, body) || body.size() < 16) return {};
  std::uint16_t tag = plat::riff::getU16(body.data());
  const std::uint16_t bits = plat::riff::getU16(body.data() + 14);
  // The extensible layout names the real format in the first two bytes of
  // its sub-format.
  if (tag == plat::riff::kFormatExtensible && body.size() >= 26) tag = plat::riff::getU16(body.data() + 24);
  if (bits == 0) return {};
  if (tag == plat::riff::kFormatPcm)
    return bits == 8 || bits == 16 ? std::string() : std::to_string(bits) + "-bit PCM";
  if (tag == kFormatFloat) return std::to_string(bits) + "-bit float";
  return {};
}

std::error_code stretchWave(std::string_view wav, double factor, std::string& out) {
  out.clear();
  if (!(factor > 0.25 && factor < 4.0)) return std::make_error_code(std::errc::invalid_argument);
  plat::riff::WavInfo in;
  if (plat::riff::readWavInfo(plat::riff::MemorySource(wav), in)) return std::make_error_code(std::errc::invalid_argument);
  const plat::riff::WavFormat& f = in.format;
  if (f.bitsPerSample != 8 && f.bitsPerSample != 16) return std::make_error_code(std::errc::not_supported);
  // The samples are read where they lie: speech runs to megabytes, and
  // every copy of it costs.
  const auto* samples = reinterpret_cast<const std::uint8_t*>(wav.data() + in.data.bodyOffset());
  const std::size_t channels = f.channels;
  const std::size_t frames = in.data.size / f.blockAlign;

  soundtouch::SoundTouch st;
  st.setSampleRate(f.sampleRate);
  st.setChannels(static_cast<unsigned>(channels));
  st.setTempo(1.0 / factor);  // tempo 1.25 plays in 0.8 of the time

  // The length the factor asks for: flush() pads with silence up to the
  // processing block, which is cut off again.
  const std::size_t wanted = static_cast<std::size_t>(std::llround(static_cast<double>(frames) * factor));
  const plat::riff::WavFormat outFormat = plat::riff::WavFormat::pcm(f.sampleRate, f.bitsPerSample, f.channels);
  // Room for the samples and a segment table after them, so that adding
  // one does not move the file again.
  out.reserve(plat::riff::kCanonicalHeaderSize + wanted * outFormat.blockAlign + 1 + 4096);
  out.resize(plat::riff::kCanonicalHeaderSize);
  const std::size_t wantedBytes = plat::riff::kCanonicalHeaderSize + wanted * outFormat.blockAlign;

  constexpr std::size_t kBlock = 4096;  // frames handed over and taken back at a time
  std::vector<SAMPLETYPE> buffer(kBlock * channels);
  auto drain = [&]() {
    while (const unsigned got = st.receiveSamples(buffer.data(), kBlock)) {
      const std::size_t room = (wantedBytes - std::min(wantedBytes, out.size())) / outFormat.blockAlign;
      encode(outFormat, buffer.data(), std::min<std::size_t>(got, room) * channels, out);
    }
  };
  for (std::size_t frame = 0; frame < frames; frame += kBlock) {
    const std::size_t n = std::min(kBlock, frames - frame);
    decode(f, samples + frame * f.blockAlign, n * channels, buffer.data());
    st.putSamples(buffer.data(), static_cast<unsigned>(n));
    drain();
  }
  st.flush();
  drain();
  const std::size_t dataSize = out.size() - plat::riff::kCanonicalHeaderSize;
  if (dataSize > 0xFFFFFFFFull - 37) {
    out.clear();
    return std::make_error_code(std::errc::file_too_large);
  }
  if (dataSize % 2) out.push_back('\0');
  const std::string header = plat::riff::canonicalHeader(outFormat, static_cast<std::uint32_t>(dataSize));
  out.replace(0, header.size(), header);
  return {};
}

}  // namespace orv::install
