#include "platform/ui/test_mode.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "platform/fs/fault.h"
#include "platform/fs/file_io.h"
#include "platform/ui/qt_message_box.h"
#include "platform/ui/recording_sink.h"

namespace plat::ui {

namespace {

std::string escapeField(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c; break;
    }
  }
  return out;
}

std::string unescapeField(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    switch (s[++i]) {
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: out += s[i]; break;
    }
  }
  return out;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

// Unsigned decimal that fits in 32 bits; false for anything else.
bool parseUnsigned(std::string_view s, uint32_t& out) {
  if (s.empty() || s.size() > 10) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

template <typename F>
void forEachLine(std::string_view text, F f) {
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    f(text.substr(start, nl - start));
    start = nl + 1;
  }
}

const char* env(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : nullptr;
}

}  // namespace

// One append per line, so that programs sharing a log never interleave
// inside a line. A log that cannot be written is not the program's
// failure: the line is dropped.
void appendTestLogLine(const std::filesystem::path& path, const std::string& line) {
  const std::string p = path.string();
  if (plat::fs::takeFault(plat::fs::FaultOp::Open, p)) return;
  int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  if (!plat::fs::takeFault(plat::fs::FaultOp::Write, p)) {
    const char* d = line.data();
    size_t left = line.size();
    while (left > 0) {
      ssize_t n = ::write(fd, d, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      d += n;
      left -= static_cast<size_t>(n);
    }
  }
  ::close(fd);
}

void logTestEvent(std::string_view name, std::string_view detail) {
  if (!testMode()) return;
  const char* log = env(kTestLogVariable);
  if (log == nullptr) return;
  std::string line = "event\t";
  line += name;
  line += '\t';
  // Tabs and line breaks would split the line: the details are codes,
  // names and numbers, so they are replaced rather than escaped.
  for (char c : detail) line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  line += '\n';
  appendTestLogLine(log, line);
}

bool testMode() { return env(kTestModeVariable) != nullptr; }

std::string testModeValue() {
  const char* v = env(kTestModeVariable);
  return v ? std::string(v) : std::string();
}

bool testModeShows(std::string_view what) {
  if (!testMode() || what.empty()) return false;
  const char* shown = env(kTestShownVariable);
  if (shown == nullptr) return false;
  const std::string_view list(shown);
  size_t at = 0;
  while (at < list.size()) {
    const size_t end = std::min(list.find_first_of(" ,", at), list.size());
    if (list.substr(at, end - at) == what) return true;
    at = end + 1;
  }
  return false;
}

namespace {

// The real boxes of a program in test mode: shown on the display and
// answered by whoever drives it, then logged like scripted ones.
class ShownLoggedSink : public MessageSink {
 public:
  explicit ShownLoggedSink(const char* log) : log_(log ? log : "") {}
  int show(const MessageBoxRequest& request) override {
    const int answer = real_.show(request);
    if (!log_.empty()) appendTestLogLine(log_, formatLogLine(request, answer));
    return answer;
  }
  void beep(uint32_t type) override {
    real_.beep(type);
    if (!log_.empty()) appendTestLogLine(log_, formatBeepLine(type));
  }

 private:
  QtMessageSink real_;
  std::filesystem::path log_;
};

}  // namespace

std::unique_ptr<MessageSink> createTestModeSink() {
  if (!testMode()) return nullptr;
  if (testModeShows("boxes") && qtBoxesUsable()) return std::make_unique<ShownLoggedSink>(env(kTestLogVariable));
  auto sink = std::make_unique<RecordingSink>();
  if (const char* answers = env(kTestAnswersVariable)) {
    std::string text;
    // A missing script leaves every box at its default button.
    if (!plat::fs::readFile(answers, text)) sink->setScript(parseAnswerScript(text));
  }
  if (const char* log = env(kTestLogVariable)) sink->setLogFile(log);
  return sink;
}

std::vector<int> parseAnswerScript(std::string_view text) {
  std::vector<int> answers;
  forEachLine(text, [&](std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() == '#') return;
    int a = answerFromName(line);
    if (a >= 0) answers.push_back(a);
  });
  return answers;
}

std::string formatLogLine(const MessageBoxRequest& r, int answer) {
  std::string line = "box\t";
  line += escapeField(r.caption);
  line += '\t';
  line += escapeField(r.text);
  line += '\t';
  line += iconName(r.icon);
  line += '\t';
  line += buttonsName(r.buttons);
  line += '\t';
  line += std::to_string(r.defaultButton);
  line += '\t';
  line += std::to_string(r.helpContext);
  line += '\t';
  line += answerName(answer);
  line += '\n';
  return line;
}

std::string formatBeepLine(uint32_t type) { return "beep\t" + std::to_string(type) + "\n"; }

std::string formatHelpLine(std::string_view command, std::string_view target, std::string_view query) {
  return "help\t" + escapeField(command) + "\t" + escapeField(target) + "\t" + escapeField(query) + "\n";
}

std::vector<LoggedEvent> parseTestLog(std::string_view text) {
  std::vector<LoggedEvent> events;
  forEachLine(text, [&](std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::vector<std::string_view> f = splitTabs(line);
    LoggedEvent e;
    if (f.size() == 2 && f[0] == "beep") {
      if (!parseUnsigned(f[1], e.beepType)) return;
      e.isBeep = true;
      events.push_back(std::move(e));
      return;
    }
    if (f.size() == 4 && f[0] == "help") {
      e.isHelp = true;
      e.helpCommand = unescapeField(f[1]);
      e.helpTarget = unescapeField(f[2]);
      e.helpQuery = unescapeField(f[3]);
      events.push_back(std::move(e));
      return;
    }
    if (f.size() != 8 || f[0] != "box") return;
    uint32_t def = 0;
    if (!parseUnsigned(f[5], def) || def > 3 || !parseUnsigned(f[6], e.helpContext)) return;
    e.caption = unescapeField(f[1]);
    e.text = unescapeField(f[2]);
    e.icon = std::string(f[3]);
    e.buttons = std::string(f[4]);
    e.defaultButton = static_cast<int>(def);
    e.answer = answerFromName(f[7]);
    if (e.answer < 0) return;
    events.push_back(std::move(e));
  });
  return events;
}

}  // namespace plat::ui
