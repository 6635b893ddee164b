#pragma once
// The virtual audio backend: devices that play and record nothing but keep
// time on a Dispatcher's clock. On a ManualDispatcher it is the unit tests'
// device (every call logged, any call made to fail, time moved by the
// test); on the UI dispatcher it is the "silent" device of machines without
// a sound server, in real time.
//
// Wave-out: a written buffer plays at the format's byte rate from the
// moment it is written (or the device restarted); its done is delivered
// when its last byte has been played. Positions are counted in bytes from
// open or reset and answered in the requested kind when the device offers
// it (positionKinds), else in the first kind it offers.
// Wave-in: while started, the input fills the queued buffers at the byte
// rate with bytes from the input source; a full buffer is handed back.
//
// The device volume is one word per backend (as a system mixer keeps it):
// it survives close and reopen.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"

namespace plat::audio {

class VirtualBackend : public Backend {
 public:
  struct Options {
    std::string name = "virtual";
    uint32_t outCount = 1;
    uint32_t inCount = 1;
    uint32_t formats = kAllCapsFormats;
    uint32_t support = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME;
    // TIME_* bits of the kinds getPosition answers in.
    uint32_t positionKinds = TIME_MS | TIME_SAMPLES | TIME_BYTES;
    uint32_t volume = 0xFFFFFFFFu;
    // Only formats for which isPlayablePcm() holds open; with this set, also
    // only those whose capability bit is in `formats`.
    bool strictFormats = false;
    bool log = true;
  };

  // One logged call: its name ("waveOutWrite") and a short text of its
  // arguments and result ("bytes=22050 -> 0").
  struct Call {
    std::string name;
    std::string args;
    MMRESULT result = 0;
  };

  // What a write handed the device.
  struct Write {
    const char* data = nullptr;
    uint32_t length = 0;
  };

  // Input bytes for wave-in: fills `out` with `n` bytes starting at byte
  // `offset` of the recording since open.
  using InputSource = std::function<void(uint64_t offset, char* out, size_t n)>;

  explicit VirtualBackend(Dispatcher& clock);
  VirtualBackend(Dispatcher& clock, Options options);
  ~VirtualBackend() override;

  // --- Backend ---
  std::string name() const override;
  uint32_t waveOutCount() override;
  MMRESULT waveOutCaps(uint32_t id, WaveOutCaps* caps) override;
  MMRESULT openWaveOut(uint32_t id, const WaveFormat& format, DoneCallback done,
                       std::unique_ptr<WaveOutDevice>& out) override;
  MMRESULT queryWaveOut(uint32_t id, const WaveFormat& format) override;
  uint32_t waveInCount() override;
  MMRESULT waveInCaps(uint32_t id, WaveInCaps* caps) override;
  MMRESULT openWaveIn(uint32_t id, const WaveFormat& format, DoneCallback done,
                      std::unique_ptr<WaveInDevice>& out) override;
  bool playSound(std::string_view wavBytes, bool async) override;
  void stopSound() override;

  // --- Test controls ---
  // The next `times` calls of `name` (a logged call name) answer `code`
  // without acting; times < 0: every call until clearFailures().
  void failCall(const std::string& name, MMRESULT code, int times = 1);
  void clearFailures();

  const std::vector<Call>& calls() const;
  // The logged calls of one name.
  std::vector<Call> calls(std::string_view name) const;
  size_t count(std::string_view name) const;
  void clearLog();

  const std::vector<Write>& writes() const;
  // Wave-out devices open now, and the format of the last one opened.
  int openOutputs() const;
  int openInputs() const;
  WaveFormat lastOutputFormat() const;
  uint32_t volume() const;
  void setVolumeWord(uint32_t volume);
  void setPositionKinds(uint32_t kinds);
  void setInputSource(InputSource source);
  // Sounds given to playSound, as their byte sizes.
  const std::vector<size_t>& sounds() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// A tone for the input source: 16-bit mono samples of a square wave,
// never silent.
void squareWaveInput(uint64_t offset, char* out, size_t n);

}  // namespace plat::audio
