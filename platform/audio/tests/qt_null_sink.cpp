#include "platform/audio/tests/qt_null_sink.h"

#include <QAudioFormat>
#include <QCoreApplication>
#include <QMediaDevices>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tvaudio {

namespace {

// Runs scripts/null_sink.sh with `args`; its output (the last line: the
// server's address on start) in `out`. False when it fails.
bool runScript(const std::string& args, std::string& out) {
  const std::string cmd = std::string("bash '") + TV_SOURCE_DIR + "/scripts/null_sink.sh' " + args + " 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) {
    out = "cannot run scripts/null_sink.sh";
    return false;
  }
  char buf[256];
  while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
  const int rc = ::pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return rc == 0;
}

// Starts the server `args` name and points this process at it.
bool startServer(const std::string& args, std::string* why) {
  std::string out;
  if (!runScript("start " + args, out)) {
    *why = "no PulseAudio server could be started: " + out;
    return false;
  }
  const size_t line = out.rfind('\n');
  ::setenv("PULSE_SERVER", out.substr(line == std::string::npos ? 0 : line + 1).c_str(), 1);
  if (QMediaDevices::audioOutputs().isEmpty() || QMediaDevices::audioInputs().isEmpty()) {
    *why = "the PulseAudio server lists no output or input";
    return false;
  }
  return true;
}

}  // namespace

bool useNullSink(std::string* why) {
  // One server per build folder (the one holding bin/ with this program),
  // so that builds testing at once never hear each other.
  std::error_code ec;
  const std::filesystem::path build =
      std::filesystem::canonical("/proc/self/exe", ec).parent_path().parent_path();
  return startServer("--for '" + build.string() + "'", why);
}

bool PrivateNullSink::start(std::string* why) {
  char dir[] = "/tmp/talvane-pulse-own-XXXXXX";
  if (::mkdtemp(dir) == nullptr) {
    *why = "no folder for a private PulseAudio server";
    return false;
  }
  dir_ = dir;
  return startServer("'" + dir_ + "'", why);
}

PrivateNullSink::~PrivateNullSink() {
  if (dir_.empty()) return;
  std::string out;
  runScript("stop '" + dir_ + "'", out);
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

int64_t nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool pumpUntil(const std::function<bool()>& done, int ms) {
  const int64_t end = nowUs() + int64_t{ms} * 1000;
  while (nowUs() < end) {
    if (done && done()) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
  }
  return done && done();
}

void pumpFor(int ms) { pumpUntil(nullptr, ms); }

bool MonitorCapture::start() {
  QAudioFormat f;
  f.setSampleRate(kRate);
  f.setChannelCount(1);
  f.setSampleFormat(QAudioFormat::Int16);
  source_ = std::make_unique<QAudioSource>(QMediaDevices::defaultAudioInput(), f);
  source_->setBufferSize(kRate * 2 * 20 / 1000);
  io_ = source_->start();
  if (io_ == nullptr || source_->error() != QAudio::NoError) return false;
  QObject::connect(io_, &QIODevice::readyRead, [this] { drain(); });
  return true;
}

void MonitorCapture::stop() {
  if (!source_) return;
  drain();
  source_->stop();
  source_.reset();
  io_ = nullptr;
}

void MonitorCapture::drain() {
  if (io_ == nullptr) return;
  const QByteArray bytes = io_->readAll();
  if (bytes.size() < 2) return;
  const size_t n = static_cast<size_t>(bytes.size()) / 2;
  const size_t at = samples_.size();
  samples_.resize(at + n);
  std::memcpy(samples_.data() + at, bytes.constData(), n * 2);
  marks_.emplace_back(samples_.size(), nowUs());
}

int64_t MonitorCapture::timeOf(size_t index) const {
  for (const auto& [count, us] : marks_)
    if (count > index) return us - static_cast<int64_t>(count - index) * 1000000 / kRate;
  return marks_.empty() ? 0 : marks_.back().second;
}

size_t MonitorCapture::firstLoud(size_t from, int threshold) const {
  for (size_t i = from; i < samples_.size(); ++i)
    if (std::abs(int{samples_[i]}) >= threshold) return i;
  return npos;
}

size_t MonitorCapture::lastLoud(size_t from, int threshold) const {
  for (size_t i = samples_.size(); i > from; --i)
    if (std::abs(int{samples_[i - 1]}) >= threshold) return i - 1;
  return npos;
}

namespace {
void put(std::string& out, int16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
int16_t sine(int i, double hz, int amplitude) {
  return static_cast<int16_t>(amplitude * std::sin(2.0 * M_PI * hz * i / kRate));
}
}  // namespace

std::string tone(int ms, double hz, int amplitude) {
  std::string out;
  for (int i = 0; i < kRate * ms / 1000; ++i) put(out, sine(i, hz, amplitude));
  return out;
}

std::string stereoTone(int ms, double hz, int amplitude) {
  std::string out;
  for (int i = 0; i < kRate * ms / 1000; ++i) {
    put(out, sine(i, hz, amplitude));
    put(out, sine(i, hz, amplitude));
  }
  return out;
}

std::string clicks(int ms, int firstMs, int periodMs) {
  std::string out;
  const int burst = kRate * 5 / 1000;
  for (int i = 0; i < kRate * ms / 1000; ++i) {
    const int t = i - kRate * firstMs / 1000;
    const int period = kRate * periodMs / 1000;
    const bool on = t >= 0 && t % period < burst;
    put(out, on ? sine(t % period, 2000.0, 12000) : int16_t{0});
  }
  return out;
}

}  // namespace tvaudio
