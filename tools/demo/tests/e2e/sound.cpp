#include "tools/demo/tests/e2e/sound.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>

#include "tools/demo/tests/e2e/desktop.h"

namespace e2e {
namespace fs = std::filesystem;
namespace {

uint32_t le32(const char* p) {
  return static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8 | static_cast<uint8_t>(p[2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24;
}
uint16_t le16(const char* p) { return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8); }

void put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
}
void put16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}

Sound fromRaw(const std::string& bytes, int rate) {
  Sound s;
  s.rate = rate;
  s.samples.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < s.samples.size(); ++i) s.samples[i] = static_cast<int16_t>(le16(&bytes[2 * i]));
  return s;
}

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

bool readWav(const fs::path& file, Sound& out) {
  const std::string b = readAll(file);
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return false;
  int channels = 0, bits = 0, rate = 0;
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::string id = b.substr(at, 4);
    const std::size_t size = le32(&b[at + 4]);
    const std::size_t body = at + 8;
    if (body + size > b.size()) break;
    if (id == "fmt " && size >= 16) {
      channels = le16(&b[body + 2]);
      rate = static_cast<int>(le32(&b[body + 4]));
      bits = le16(&b[body + 14]);
    } else if (id == "data" && channels > 0 && bits == 16) {
      out.rate = rate;
      out.samples.clear();
      for (std::size_t i = body; i + 2 * channels <= body + size; i += 2 * channels) {
        int sum = 0;
        for (int c = 0; c < channels; ++c) sum += static_cast<int16_t>(le16(&b[i + 2 * c]));
        out.samples.push_back(static_cast<int16_t>(sum / channels));
      }
      return true;
    }
    at = body + size + (size & 1);
  }
  return false;
}

bool writeWav(const fs::path& file, const Sound& sound) {
  std::string s = "RIFF";
  put32(s, static_cast<uint32_t>(36 + sound.samples.size() * 2));
  s += "WAVEfmt ";
  put32(s, 16);
  put16(s, 1);
  put16(s, 1);
  put32(s, static_cast<uint32_t>(sound.rate));
  put32(s, static_cast<uint32_t>(sound.rate * 2));
  put16(s, 2);
  put16(s, 16);
  s += "data";
  put32(s, static_cast<uint32_t>(sound.samples.size() * 2));
  for (int16_t v : sound.samples) put16(s, static_cast<uint16_t>(v));
  std::ofstream out(file, std::ios::binary);
  out << s;
  return static_cast<bool>(out);
}

Sound tone(double hz, int ms, int rate, int amplitude) {
  Sound s;
  s.rate = rate;
  const std::size_t n = static_cast<std::size_t>(rate) * static_cast<std::size_t>(ms) / 1000;
  for (std::size_t i = 0; i < n; ++i)
    s.samples.push_back(static_cast<int16_t>(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate)));
  return s;
}

std::vector<double> envelope(const Sound& sound) {
  const std::size_t frame = static_cast<std::size_t>(sound.rate) * kFrameMs / 1000;
  std::vector<double> env;
  for (std::size_t at = 0; frame > 0 && at + frame <= sound.samples.size(); at += frame) {
    double sum = 0;
    for (std::size_t i = at; i < at + frame; ++i) sum += static_cast<double>(sound.samples[i]) * sound.samples[i];
    env.push_back(std::sqrt(sum / static_cast<double>(frame)));
  }
  return env;
}

int loudFrames(const std::vector<double>& env, std::size_t from, std::size_t to, double threshold) {
  int n = 0;
  for (std::size_t i = from; i < std::min(to, env.size()); ++i) n += env[i] > threshold ? 1 : 0;
  return n;
}

Match findModel(const std::vector<double>& heard, const std::vector<double>& model, std::size_t from,
                std::size_t to) {
  Match best;
  const std::size_t m = model.size();
  if (m == 0 || heard.size() < m) return best;
  double meanM = 0;
  for (double v : model) meanM += v;
  meanM /= static_cast<double>(m);
  double varM = 0;
  for (double v : model) varM += (v - meanM) * (v - meanM);
  for (std::size_t lag = from; lag + m <= heard.size() && lag < to; ++lag) {
    double meanH = 0;
    for (std::size_t i = 0; i < m; ++i) meanH += heard[lag + i];
    meanH /= static_cast<double>(m);
    double cov = 0, varH = 0;
    for (std::size_t i = 0; i < m; ++i) {
      cov += (model[i] - meanM) * (heard[lag + i] - meanH);
      varH += (heard[lag + i] - meanH) * (heard[lag + i] - meanH);
    }
    const double c = varH > 0 && varM > 0 ? cov / std::sqrt(varH * varM) : -1.0;
    if (c > best.correlation) best = {lag, c};
  }
  return best;
}

double toneShare(const Sound& sound, double hz, std::size_t fromFrame, std::size_t toFrame) {
  const std::size_t frame = static_cast<std::size_t>(sound.rate) * kFrameMs / 1000;
  const std::size_t a = fromFrame * frame, b = std::min(toFrame * frame, sound.samples.size());
  if (b <= a) return 0.0;
  // Goertzel over the span: the power at hz against the whole power.
  const double w = 2 * std::numbers::pi * hz / sound.rate;
  const double k = 2 * std::cos(w);
  double s1 = 0, s2 = 0, total = 0;
  for (std::size_t i = a; i < b; ++i) {
    const double x = sound.samples[i];
    const double s0 = x + k * s1 - s2;
    s2 = s1;
    s1 = s0;
    total += x * x;
  }
  const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
  const double n = static_cast<double>(b - a);
  // A pure tone of amplitude A gives power (A n / 2)^2 and total n A^2 / 2.
  return total > 0 ? std::min(1.0, 2.0 * power / (n * total)) : 0.0;
}

NullSink::~NullSink() { stop(); }

QString NullSink::start(const fs::path& dir, const fs::path& script) {
  dir_ = dir;
  script_ = script;
  QByteArray out;
  if (run("bash", {QString::fromStdString(script.string()), "start", QString::fromStdString(dir.string())}, 60000,
          &out) != 0)
    return {};
  const QStringList lines = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
  return lines.isEmpty() ? QString() : lines.back().trimmed();
}

void NullSink::stop() {
  if (dir_.empty()) return;
  run("bash", {QString::fromStdString(script_.string()), "stop", QString::fromStdString(dir_.string())}, 20000);
  dir_.clear();
}

Monitor::~Monitor() { stop(); }

bool Monitor::start() {
  rec_ = std::make_unique<QProcess>();
  rec_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  rec_->start("parecord", {"--raw", "--device=nullsink.monitor", "--format=s16le", "--channels=1",
                           "--rate=" + QString::number(kMonitorRate), "--latency-msec=20",
                           QString::fromStdString(file_.string())});
  if (!rec_->waitForStarted(5000)) return false;
  // Recording runs once a quarter of a second has reached the file: what
  // comes later is heard from its start.
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 5000) {
    std::error_code ec;
    if (fs::file_size(file_, ec) >= kMonitorRate / 2 && !ec) return true;
    QThread::msleep(10);
  }
  return false;
}

Sound Monitor::sofar() const { return fromRaw(readAll(file_), kMonitorRate); }

Sound Monitor::stop() {
  if (!rec_) return {};
  rec_->terminate();
  if (!rec_->waitForFinished(3000)) rec_->kill();
  rec_->waitForFinished(2000);
  rec_.reset();
  return sofar();
}

bool Monitor::waitUntil(const std::function<bool(const std::vector<double>&)>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    if (done(envelope(sofar()))) return true;
    QCoreApplication::processEvents();
    QThread::msleep(50);
  }
  return false;
}

bool playIntoSink(const fs::path& wav) {
  return run("paplay", {"--device=nullsink", QString::fromStdString(wav.string())}, 20000) == 0;
}

}  // namespace e2e
