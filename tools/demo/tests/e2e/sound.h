#pragma once
// What a learner's session sounds like: a private PulseAudio server with a
// null sink (scripts/null_sink.sh), the sink's monitor recorded by
// parecord, sounds played into the sink by paplay, and the analysis of
// what was recorded: loudness per 10 ms, where a model sound occurs in it,
// and how much of it is one tone.

#include <QProcess>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

inline constexpr int kMonitorRate = 16000;
inline constexpr int kFrameMs = 10;

// 16-bit mono samples and their rate.
struct Sound {
  std::vector<int16_t> samples;
  int rate = kMonitorRate;
  double seconds() const { return rate ? static_cast<double>(samples.size()) / rate : 0.0; }
};

// Reads a PCM WAV file (16-bit, any rate; channels are mixed down).
bool readWav(const std::filesystem::path& file, Sound& out);
// Writes 16-bit mono PCM as a WAV file.
bool writeWav(const std::filesystem::path& file, const Sound& sound);
// A sine tone.
Sound tone(double hz, int ms, int rate = 44100, int amplitude = 12000);

// RMS loudness of each 10 ms frame.
std::vector<double> envelope(const Sound& sound);
// Frames louder than `threshold` RMS.
int loudFrames(const std::vector<double>& env, std::size_t from = 0, std::size_t to = SIZE_MAX,
               double threshold = 300.0);

// Where `model` sounds in `heard`: the frame offset whose window of the
// heard envelope correlates best with the model's envelope, searched in
// [from, to), and that correlation (-1..1).
struct Match {
  std::size_t frame = 0;
  double correlation = -1.0;
};
Match findModel(const std::vector<double>& heard, const std::vector<double>& model, std::size_t from = 0,
                std::size_t to = SIZE_MAX);

// The share of the signal's power in the frames [from, to) that lies at `hz`
// (Goertzel), 0..1.
double toneShare(const Sound& sound, double hz, std::size_t fromFrame, std::size_t toFrame);

class NullSink {
 public:
  ~NullSink();
  // Starts a server of its own in `dir`; its address, "" when none starts.
  QString start(const std::filesystem::path& dir, const std::filesystem::path& script);
  void stop();

 private:
  std::filesystem::path dir_, script_;
};

// The sink's monitor recorded from start() until stop().
class Monitor {
 public:
  explicit Monitor(std::filesystem::path file) : file_(std::move(file)) {}
  ~Monitor();
  bool start();
  // What has been recorded so far (the recording goes on).
  Sound sofar() const;
  Sound stop();
  // Waits, recording, until `done` answers true for what is heard so far.
  bool waitUntil(const std::function<bool(const std::vector<double>&)>& done, int timeoutMs);

 private:
  std::filesystem::path file_;
  std::unique_ptr<QProcess> rec_;
};

// Plays a WAV file into the sink and waits for its end.
bool playIntoSink(const std::filesystem::path& wav);

}  // namespace e2e
