#include "player/audio/sound_resources.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/riff/wav.h"

namespace orv::audio {

std::string TadaWave() {
  // Three notes of a major chord struck one after another (G5, C6, E6),
  // each a sine with a little of its octave, a 5 ms attack and an
  // exponential decay; the last one rings longest.
  constexpr int kRate = 22050;
  constexpr double kPi = 3.14159265358979323846;
  struct Note {
    double startS, hz, decayS;
  };
  constexpr Note kNotes[] = {{0.00, 783.99, 0.18}, {0.11, 1046.50, 0.20}, {0.22, 1318.51, 0.32}};
  constexpr double kLengthS = 0.85;
  std::vector<double> mix(static_cast<size_t>(kLengthS * kRate), 0.0);
  for (const Note& n : kNotes) {
    for (size_t i = static_cast<size_t>(n.startS * kRate); i < mix.size(); ++i) {
      const double t = static_cast<double>(i) / kRate - n.startS;
      const double envelope = std::min(1.0, t / 0.005) * std::exp(-t / n.decayS);
      mix[i] += envelope * (std::sin(2 * kPi * n.hz * t) + 0.3 * std::sin(4 * kPi * n.hz * t));
    }
  }
  // A 20 ms fade at the end, so the sound stops without a click.
  const size_t fade = kRate / 50;
  for (size_t k = 0; k < fade; ++k) mix[mix.size() - 1 - k] *= static_cast<double>(k) / fade;
  double peak = 0;
  for (double v : mix) peak = std::max(peak, std::abs(v));
  std::string samples;
  samples.reserve(mix.size() * 2);
  for (double v : mix) {
    const auto s = static_cast<int16_t>(std::lround(v / peak * 20000.0));
    const auto u = static_cast<uint16_t>(s);
    samples.push_back(static_cast<char>(u & 0xFF));
    samples.push_back(static_cast<char>(u >> 8));
  }
  std::string wav;
  plat::riff::writeWav(plat::riff::WavFormat::pcm(kRate, 16, 1), samples, wav);
  return wav;
}

bool RegisterPlayerSounds() {
  plat::audio::registerSoundResource(kTadaResource, TadaWave());
  return true;
}

}  // namespace orv::audio
