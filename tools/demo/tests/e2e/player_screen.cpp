#include "tools/demo/tests/e2e/player_screen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPoint>
#include <QThread>

#include <fstream>
#include <functional>
#include <sstream>

#include <signal.h>

#include <algorithm>

namespace e2e {
namespace {

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> out(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      out.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      const char e = line[++i];
      out.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    } else {
      out.back() += c;
    }
  }
  return out;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
  return true;
}

}  // namespace

std::string PlayerScreen::read() const {
  std::ifstream in(log_, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> PlayerScreen::events() const {
  std::vector<std::string> out;
  for (const std::string& l : lines(read())) {
    if (l.rfind("event\t", 0) != 0) continue;
    std::string rest = l.substr(6);
    const std::size_t tab = rest.find('\t');
    if (tab != std::string::npos) rest[tab] = ' ';
    while (!rest.empty() && rest.back() == ' ') rest.pop_back();
    out.push_back(rest);
  }
  return out;
}

bool PlayerScreen::has(const std::string& event) const {
  for (const std::string& e : events())
    if (e == event) return true;
  return false;
}

bool PlayerScreen::hasPrefix(const std::string& prefix) const {
  for (const std::string& e : events())
    if (e.rfind(prefix, 0) == 0) return true;
  return false;
}

bool PlayerScreen::waitFor(const std::string& event, int timeoutMs) const {
  return waitUntil([&] { return has(event); }, timeoutMs);
}

bool PlayerScreen::waitForPrefix(const std::string& prefix, int timeoutMs) const {
  return waitUntil([&] { return hasPrefix(prefix); }, timeoutMs);
}

std::vector<Shown> PlayerScreen::probe(qint64 pid) {
  const auto isEnd = [](const std::string& l) { return l.rfind("event\tprobe\t", 0) == 0; };
  const auto pictures = [&] {
    const std::vector<std::string> all = lines(read());
    return std::count_if(all.begin(), all.end(), isEnd);
  };
  const auto before = pictures();
  if (pid <= 0 || ::kill(static_cast<pid_t>(pid), SIGUSR1) != 0) return {};
  if (!waitUntil([&] { return pictures() > before; }, 10000)) return {};
  // The picture is the run of "shown" lines written just before its end.
  const std::vector<std::string> all = lines(read());
  std::size_t at = 0;
  for (long seen = 0; at < all.size(); ++at)
    if (isEnd(all[at]) && seen++ == before) break;
  std::vector<Shown> out;
  for (std::size_t i = at; i > 0; --i) {
    const std::string& l = all[i - 1];
    if (isEnd(l)) break;
    if (l.rfind("shown\t", 0) != 0) continue;
    const std::vector<std::string> f = split(l);
    if (f.size() < 11) continue;
    Shown s;
    s.kind = f[1];
    s.window = QString::fromStdString(f[2]);
    s.x = std::stoi(f[3]);
    s.y = std::stoi(f[4]);
    s.w = std::stoi(f[5]);
    s.h = std::stoi(f[6]);
    s.state = QString::fromStdString(f[7]);
    s.name = QString::fromStdString(f[8]);
    s.text = QString::fromStdString(f[9]);
    s.extra = QString::fromStdString(f[10]);
    if (s.kind == "text") {
      const QStringList parts = s.extra.split(' ', Qt::SkipEmptyParts);
      if (!parts.isEmpty()) s.marks = parts.front();
      for (int p = 1; p < parts.size(); ++p) {
        const QStringList xy = parts[p].split(',');
        if (xy.size() == 2) s.places.emplace_back(xy[0].toInt(), xy[1].toInt());
      }
    }
    out.insert(out.begin(), s);
  }
  return out;
}

std::vector<Shown> PlayerScreen::probeUntil(qint64 pid, const std::function<bool(const std::vector<Shown>&)>& ready,
                                            int timeoutMs) {
  QElapsedTimer t;
  t.start();
  std::vector<Shown> shown;
  do {
    shown = probe(pid);
    if (ready(shown)) return shown;
    // Each picture adds to the log: one every 100 ms is enough.
    const qint64 next = t.elapsed() + 100;
    waitUntil([&] { return t.elapsed() >= next; }, 200);
  } while (t.elapsed() < timeoutMs);
  return shown;
}

std::optional<Shown> PlayerScreen::find(const std::vector<Shown>& shown, const std::string& kind,
                                        const QString& window, const QString& name, const QString& text) {
  for (const Shown& s : shown) {
    if (s.kind != kind) continue;
    if (!window.isNull() && s.window != window) continue;
    if (!name.isEmpty() && s.name != name) continue;
    if (!text.isEmpty() && s.text != text) continue;
    return s;
  }
  return std::nullopt;
}

}  // namespace e2e
