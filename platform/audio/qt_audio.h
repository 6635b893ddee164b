#pragma once
// The Qt Multimedia backend of plat::audio ("qt"): wave-out devices over
// QAudioSink and wave-in devices over QAudioSource.
//
// Every sink and source lives on one worker thread of the backend, so that
// a busy UI thread never starves the stream; each device call runs there
// and returns when it has taken effect. Wave-out feeds the written buffers
// to the sink in pull mode and polls processedUSecs() every few
// milliseconds: a buffer is done once the heard position has passed its
// last byte (the sink's Idle state comes about 100 ms early, and stopping
// there cuts the end). processedUSecs() counts from the first frame heard,
// so the sink's constant start latency (~23 ms after start()) lies before
// it: the heard position is processedUSecs() less kQtSinkPositionLeadUs,
// measured on a null sink as none, and it reaches a range's length only
// once its last frame has been heard. Left and right gains scale the samples as
// they are fed; the system mixer is never touched.
//
// A wave-out device runs its sink only while it has buffers to play: the
// first write after open, reset or the end of the last buffer starts it,
// and it is stopped once everything written has been heard.

#include <cstdint>
#include <memory>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"

namespace plat::audio {

// How far processedUSecs() runs ahead of the heard position, in us.
inline constexpr int64_t kQtSinkPositionLeadUs = 0;

class QtAudioBackend : public Backend {
 public:
  explicit QtAudioBackend(Dispatcher& ui);
  ~QtAudioBackend() override;

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

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace plat::audio
