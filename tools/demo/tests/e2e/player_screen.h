#pragma once
// What the player shows, read back from its test log: its events, and the
// picture of its windows that it writes when asked (the player's test
// probe message), one Shown per visible window, text, button and entry.

#include <QPoint>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Shown {
  std::string kind;  // window, label, edit, text, button, list entry, menu entry
  QString window;    // its window's title
  int x = 0, y = 0, w = 0, h = 0;
  QString state;  // "c" checked or selected, "d" disabled, "-"
  QString name;   // object name or tooltip
  QString text;
  QString extra;                 // windows: the class
  QString marks;                 // text controls: u underlined, s struck, . plain
  std::vector<QPoint> places;  // text controls: the centre of each character
  QPoint centre() const { return QPoint(x + w / 2, y + h / 2); }
};

class PlayerScreen {
 public:
  explicit PlayerScreen(std::filesystem::path log) : log_(std::move(log)) {}

  // The "event" lines, as "name detail" without trailing blanks.
  std::vector<std::string> events() const;
  bool has(const std::string& event) const;
  // Whether an event starts with `prefix`.
  bool hasPrefix(const std::string& prefix) const;
  bool waitFor(const std::string& event, int timeoutMs = 20000) const;
  bool waitForPrefix(const std::string& prefix, int timeoutMs = 20000) const;

  // Asks the running player (its process id) for its picture and reads
  // it; empty when it does not answer.
  std::vector<Shown> probe(qint64 pid);

  // A picture that holds what `ready` looks for, asked for again until it
  // does (the last one taken when the time runs out).
  std::vector<Shown> probeUntil(qint64 pid, const std::function<bool(const std::vector<Shown>&)>& ready,
                                int timeoutMs = 10000);

  // The first entry of a picture that matches; none when none does.
  static std::optional<Shown> find(const std::vector<Shown>& shown, const std::string& kind, const QString& window,
                                   const QString& name = {}, const QString& text = {});

 private:
  std::string read() const;
  std::filesystem::path log_;
};

}  // namespace e2e
