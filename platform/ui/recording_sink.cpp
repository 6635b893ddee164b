#include "platform/ui/recording_sink.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/fs/fault.h"
#include "platform/ui/test_mode.h"

namespace plat::ui {

namespace {
// One append per line, so that programs sharing a log never interleave
// inside a line. A log that cannot be written is not the program's
// failure: the line is dropped.
void appendLine(const std::filesystem::path& path, const std::string& line) {
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
}  // namespace

void RecordingSink::setScript(std::vector<int> answers) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_.assign(answers.begin(), answers.end());
}

void RecordingSink::addAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_.push_back(answer);
}

void RecordingSink::setDefaultAnswer(std::optional<int> answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  defaultAnswer_ = answer;
}

void RecordingSink::setLogFile(std::filesystem::path path) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_ = std::move(path);
}

int RecordingSink::show(const MessageBoxRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  int answer;
  if (!script_.empty()) {
    answer = script_.front();
    script_.pop_front();
  } else if (defaultAnswer_) {
    answer = *defaultAnswer_;
  } else {
    answer = request.defaultAnswer();
  }
  if (answer != 0 && !request.accepts(answer)) ++mismatches_;
  boxes_.push_back({request, answer});
  if (!log_.empty()) appendLine(log_, formatLogLine(request, answer));
  return answer;
}

void RecordingSink::beep(uint32_t type) {
  std::lock_guard<std::mutex> lock(mutex_);
  beeps_.push_back(type);
  if (!log_.empty()) appendLine(log_, formatBeepLine(type));
}

std::vector<RecordedBox> RecordingSink::boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

std::vector<uint32_t> RecordingSink::beeps() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return beeps_;
}

RecordedBox RecordingSink::last() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_.empty() ? RecordedBox{} : boxes_.back();
}

size_t RecordingSink::remainingScript() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return script_.size();
}

int RecordingSink::mismatches() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return mismatches_;
}

void RecordingSink::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  script_.clear();
  boxes_.clear();
  beeps_.clear();
  mismatches_ = 0;
}

}  // namespace plat::ui
