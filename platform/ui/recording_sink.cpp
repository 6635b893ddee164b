#include "platform/ui/recording_sink.h"

#include "platform/ui/test_mode.h"

namespace plat::ui {


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
  int answer = 0;
  bool ignoredGesture = false;
  for (;;) {
    if (!script_.empty()) {
      answer = script_.front();
      script_.pop_front();
    } else if (ignoredGesture) {
      // The box ignored what the script did to it and nothing else is
      // scripted: the real box would still be waiting.
      answer = 0;
      ++leftOpen_;
      break;
    } else {
      answer = defaultAnswer_ ? *defaultAnswer_ : request.defaultAnswer();
    }
    if (!isGesture(answer)) break;
    answer = gestureAnswer(request, answer);
    if (answer != 0) break;
    ignoredGesture = true;
  }
  if (answer != 0 && !request.accepts(answer)) ++mismatches_;
  boxes_.push_back({request, answer});
  if (!log_.empty()) appendTestLogLine(log_, formatLogLine(request, answer));
  return answer;
}

void RecordingSink::beep(uint32_t type) {
  std::lock_guard<std::mutex> lock(mutex_);
  beeps_.push_back(type);
  if (!log_.empty()) appendTestLogLine(log_, formatBeepLine(type));
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

int RecordingSink::leftOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return leftOpen_;
}

void RecordingSink::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  script_.clear();
  boxes_.clear();
  beeps_.clear();
  mismatches_ = 0;
  leftOpen_ = 0;
}

}  // namespace plat::ui
