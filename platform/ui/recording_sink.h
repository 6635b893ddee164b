#pragma once
// A message sink that shows nothing: it records every box and beep and
// answers from a script. Tests install it with ScopedSink; a program in test
// mode gets one fed from a file that also logs every box (test_mode.h).

#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/message_box.h"

namespace plat::ui {

struct RecordedBox {
  MessageBoxRequest request;
  int answer = 0;
};

class RecordingSink : public MessageSink {
 public:
  RecordingSink() = default;
  explicit RecordingSink(std::vector<int> script) { setScript(std::move(script)); }

  // Answers for the next boxes, in order (replaces what is left of the
  // earlier script). An answer is given as scripted, even when the box has
  // no such button, so that a wrong script shows up in the code under test;
  // mismatches() counts those. A gesture (kGestureEscape, ...) is answered
  // as the real box answers it (gestureAnswer); one the box ignores leaves
  // it open, and the next scripted entry acts on the same box. A box left
  // open when the script runs out answers 0 and counts in leftOpen().
  void setScript(std::vector<int> answers);
  void addAnswer(int answer);
  // The answer once the script has run out (a gesture is allowed); unset
  // (the default) answers the box's default button, as pressing Enter would.
  void setDefaultAnswer(std::optional<int> answer);

  // Also appends every box and beep to this file (the test-mode log). An
  // empty path stops logging.
  void setLogFile(std::filesystem::path path);

  int show(const MessageBoxRequest& request) override;
  void beep(uint32_t type) override;

  std::vector<RecordedBox> boxes() const;
  std::vector<uint32_t> beeps() const;
  // The last box; a default-constructed one when none was shown.
  RecordedBox last() const;
  size_t remainingScript() const;
  int mismatches() const;
  int leftOpen() const;
  void clear();  // forgets boxes, beeps and the script

 private:
  mutable std::mutex mutex_;
  std::deque<int> script_;
  std::optional<int> defaultAnswer_;
  std::vector<RecordedBox> boxes_;
  std::vector<uint32_t> beeps_;
  int mismatches_ = 0;
  int leftOpen_ = 0;
  std::filesystem::path log_;
};

}  // namespace plat::ui
