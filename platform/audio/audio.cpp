#include "platform/audio/audio.h"

#include <map>
#include <mutex>

#include "platform/audio/dispatcher.h"
#include "platform/audio/virtual_device.h"
#include "platform/riff/wav.h"
#include "platform/ui/test_mode.h"

namespace plat::audio {

WaveFormat WaveFormat::pcm(uint32_t rate, uint16_t bits, uint16_t channels) {
  WaveFormat f;
  f.formatTag = WAVE_FORMAT_PCM;
  f.channels = channels;
  f.samplesPerSec = rate;
  f.bitsPerSample = bits;
  f.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
  f.avgBytesPerSec = f.blockAlign * rate;
  return f;
}

bool WaveFormat::isPlayablePcm() const {
  if (formatTag != WAVE_FORMAT_PCM) return false;
  if (bitsPerSample != 8 && bitsPerSample != 16) return false;
  if (channels != 1 && channels != 2) return false;
  if (samplesPerSec == 0 || samplesPerSec > 192000) return false;
  if (blockAlign != bitsPerSample / 8 * channels) return false;
  return avgBytesPerSec == uint32_t{blockAlign} * samplesPerSec;
}

bool formatFromCapsFlag(uint32_t flag, WaveFormat& out) {
  static constexpr uint32_t kRates[3] = {11025, 22050, 44100};
  for (int k = 0; k < 12; ++k) {
    if (flag != (1u << k)) continue;
    out = WaveFormat::pcm(kRates[k / 4], (k / 2) % 2 ? 16 : 8, k % 2 ? 2 : 1);
    return true;
  }
  return false;
}

namespace {

// A backend without devices.
class NoBackend final : public Backend {
 public:
  std::string name() const override { return "none"; }
  uint32_t waveOutCount() override { return 0; }
  MMRESULT waveOutCaps(uint32_t, WaveOutCaps*) override { return MMSYSERR_BADDEVICEID; }
  MMRESULT openWaveOut(uint32_t, const WaveFormat&, DoneCallback, std::unique_ptr<WaveOutDevice>&) override {
    return MMSYSERR_BADDEVICEID;
  }
  MMRESULT queryWaveOut(uint32_t, const WaveFormat&) override { return MMSYSERR_BADDEVICEID; }
  uint32_t waveInCount() override { return 0; }
  MMRESULT waveInCaps(uint32_t, WaveInCaps*) override { return MMSYSERR_BADDEVICEID; }
  MMRESULT openWaveIn(uint32_t, const WaveFormat&, DoneCallback, std::unique_ptr<WaveInDevice>&) override {
    return MMSYSERR_BADDEVICEID;
  }
  bool playSound(std::string_view, bool) override { return false; }
  void stopSound() override {}
};

struct Registry {
  std::mutex mutex;
  std::map<std::string, BackendFactory> factories;
  std::map<std::string, std::string> sounds;
  std::unique_ptr<Backend> made;  // the default choice, once made
  Backend* current = nullptr;     // set by setCurrentBackend
};

Registry& registry() {
  static Registry* r = [] {
    auto* reg = new Registry;
    reg->factories["none"] = [](Dispatcher&) { return std::make_unique<NoBackend>(); };
    reg->factories["virtual"] = [](Dispatcher& ui) { return std::make_unique<VirtualBackend>(ui); };
    reg->factories["silent"] = [](Dispatcher& ui) {
      VirtualBackend::Options o;
      o.name = "silent";
      o.log = false;
      return std::make_unique<VirtualBackend>(ui, o);
    };
    return reg;
  }();
  return *r;
}

}  // namespace

bool registerBackend(const std::string& name, BackendFactory factory) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.factories[name] = std::move(factory);
  return true;
}

std::vector<std::string> backendNames() {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  std::vector<std::string> names;
  for (const auto& [name, factory] : r.factories) names.push_back(name);
  return names;
}

std::unique_ptr<Backend> createBackend(const std::string& name, Dispatcher& ui) {
  BackendFactory factory;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(name);
    if (it == r.factories.end()) return nullptr;
    factory = it->second;
  }
  return factory(ui);
}

std::string selectedBackendName() {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  if (plat::ui::testMode()) {
    const std::string value = plat::ui::testModeValue();
    return r.factories.count(value) ? value : "silent";
  }
  return r.factories.count("qt") ? "qt" : "none";
}

Backend& currentBackend() {
  Registry& r = registry();
  {
    std::lock_guard lock(r.mutex);
    if (r.current) return *r.current;
    if (r.made) return *r.made;
  }
  auto made = createBackend(selectedBackendName(), uiDispatcher());
  if (!made) made = std::make_unique<NoBackend>();
  std::lock_guard lock(r.mutex);
  if (!r.made) r.made = std::move(made);
  return r.current ? *r.current : *r.made;
}

Backend* setCurrentBackend(Backend* backend) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  Backend* previous = r.current;
  r.current = backend;
  return previous;
}

void registerSoundResource(const std::string& name, std::string wavBytes) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.sounds[name] = std::move(wavBytes);
}

bool PlaySound(const std::string& sound, uint32_t flags) {
  Backend& backend = currentBackend();
  if (sound.empty()) {
    backend.stopSound();
    return true;
  }
  const bool async = (flags & SND_ASYNC) != 0;
  const bool asResource = (flags & SND_RESOURCE) == SND_RESOURCE;
  const bool asFile = (flags & SND_FILENAME) != 0;
  if (!asResource) {
    // Read through the strict reader so that only a well-formed file is
    // handed on, then play it as a canonical file.
    plat::riff::Wav wav;
    if (!plat::riff::readWavFile(sound, wav)) {
      std::string bytes;
      if (!plat::riff::writeWav(wav.format, wav.samples, bytes)) return backend.playSound(bytes, async);
      return false;
    }
    if (asFile) return false;
  }
  std::string bytes;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.sounds.find(sound);
    if (it == r.sounds.end()) return false;
    bytes = it->second;
  }
  return backend.playSound(bytes, async);
}

}  // namespace plat::audio
