#pragma once
// Test mode of the real programs.
//
// TALVANE_TEST_MODE set to a non-empty value puts a program in test mode;
// the value names the audio backend (read by plat::audio). For message
// boxes, test mode means:
//   - TALVANE_TEST_ANSWERS names a script file read once, at the first box:
//     one answer per line, as a number (1..7) or a name ("yes", "IDNO",
//     "Cancel"); blank lines and lines starting with '#' are skipped. When it
//     runs out, or without the variable, each box answers its default button.
//   - TALVANE_TEST_LOG names a file to which every box and beep is appended,
//     one line each, written with a single append so that several programs
//     can share one log. parseTestLog() reads it back.
// Log lines are tab-separated fields with '\\', tab, CR and LF escaped as
// \\ \t \r \n:
//   box  <caption> <text> <icon> <buttons> <default index> <help context> <answer>
//   beep <type as unsigned decimal>
//   help <command name> <target> <search text>   (each help request)
// TALVANE_TEST_SHOWN lists (blank- or comma-separated) what a program in
// test mode shows for real instead of answering from the script:
//   - "boxes": message boxes on the display, answered by real keys, clicks
//     and close requests; each is still logged, with its answer, once it
//     is closed (the answers script is not read);
//   - "help": the help viewer's windows in place of the logging stand-in.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/message_box.h"

namespace plat::ui {

inline constexpr const char* kTestModeVariable = "TALVANE_TEST_MODE";
inline constexpr const char* kTestAnswersVariable = "TALVANE_TEST_ANSWERS";
inline constexpr const char* kTestLogVariable = "TALVANE_TEST_LOG";
inline constexpr const char* kTestShownVariable = "TALVANE_TEST_SHOWN";

// Whether TALVANE_TEST_MODE is set and not empty, and its value.
bool testMode();
std::string testModeValue();
// Whether a program in test mode shows `what` ("boxes", "help") for real.
bool testModeShows(std::string_view what);

// The sink of a program in test mode, built from the variables above;
// nullptr when not in test mode.
std::unique_ptr<MessageSink> createTestModeSink();

// Parses an answers script; unknown lines are skipped.
std::vector<int> parseAnswerScript(std::string_view text);

// One line of the test-mode log.
struct LoggedEvent {
  bool isBeep = false;
  uint32_t beepType = 0;
  std::string caption;
  std::string text;
  std::string icon;     // iconName()
  std::string buttons;  // buttonsName()
  int defaultButton = 0;
  uint32_t helpContext = 0;
  int answer = 0;
  bool isHelp = false;
  std::string helpCommand;  // "contents", "topic", ...
  std::string helpTarget;
  std::string helpQuery;
};

std::string formatLogLine(const MessageBoxRequest& request, int answer);
std::string formatBeepLine(uint32_t type);
std::string formatHelpLine(std::string_view command, std::string_view target, std::string_view query);
// Appends one line to a log with a single write, so that programs sharing
// the log never interleave inside a line. A log that cannot be written is
// not the program's failure: the line is dropped.
void appendTestLogLine(const std::filesystem::path& path, const std::string& line);
// In test mode with a log, appends "event <name> <detail>" (tab-separated;
// tabs and line breaks in the detail become blanks): how the programs tell
// tests what they did. Nothing otherwise.
void logTestEvent(std::string_view name, std::string_view detail = {});
// Every well-formed line of a log, in order.
std::vector<LoggedEvent> parseTestLog(std::string_view text);

}  // namespace plat::ui
