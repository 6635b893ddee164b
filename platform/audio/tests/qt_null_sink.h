#pragma once
// Support for the tests and the benchmark of the Qt audio backend: the
// private PulseAudio null sink, a capture of its monitor with arrival
// times, test signals and an event pump.

#include <QAudioSource>
#include <QIODevice>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tvaudio {

constexpr int kRate = 44100;

// Starts (or finds) the null-sink server through scripts/null_sink.sh and
// points this process at it (PULSE_SERVER). Call before anything touches
// Qt Multimedia. Answers false, with the reason, when no server can be
// started.
bool useNullSink(std::string* why);

// A null-sink server of this process alone, in a fresh folder: start()
// points this process at it as useNullSink does; the destructor stops the
// server and removes the folder. The server of a build folder also carries
// that build's tests: a benchmark on it may hear their sounds as its own,
// or lose its plays among them. On a server of its own it hears only
// itself.
class PrivateNullSink {
 public:
  PrivateNullSink() = default;
  PrivateNullSink(const PrivateNullSink&) = delete;
  PrivateNullSink& operator=(const PrivateNullSink&) = delete;
  ~PrivateNullSink();
  bool start(std::string* why);

 private:
  std::string dir_;
};

// A steady clock in microseconds.
int64_t nowUs();

// Runs the event loop for `ms`, or until `done` answers true (then true).
bool pumpUntil(const std::function<bool()>& done, int ms);
void pumpFor(int ms);

// Records the default input (the sink's monitor) as 16-bit mono at kRate
// and keeps, for every chunk, the clock reading of its arrival.
class MonitorCapture {
 public:
  bool start();
  void stop();
  const std::vector<int16_t>& samples() const { return samples_; }
  // The clock reading at which sample `index` was captured.
  int64_t timeOf(size_t index) const;
  // The first and last samples at or after `from` whose magnitude reaches
  // `threshold`; npos when none.
  size_t firstLoud(size_t from, int threshold = 1000) const;
  size_t lastLoud(size_t from, int threshold = 1000) const;
  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  void drain();
  std::unique_ptr<QAudioSource> source_;
  QIODevice* io_ = nullptr;
  std::vector<int16_t> samples_;
  std::vector<std::pair<size_t, int64_t>> marks_;  // (samples after chunk, arrival)
};

// 16-bit mono PCM at kRate: a sine tone of `ms` ms.
std::string tone(int ms, double hz = 1000.0, int amplitude = 8000);
// 16-bit stereo PCM at kRate: the same tone on both channels.
std::string stereoTone(int ms, double hz = 1000.0, int amplitude = 8000);
// 16-bit mono PCM at kRate: `ms` of silence with a 5 ms burst every
// `periodMs` starting at `firstMs`.
std::string clicks(int ms, int firstMs, int periodMs);

}  // namespace tvaudio
