#pragma once
// Message boxes and system beeps behind an interface without Qt.
//
// Code calls plat::ui::MessageBox (the Win32 shape: text, caption, MB_ flag
// word) or shows a typed MessageBoxRequest; both go to the process-wide
// current sink. The programs use the QMessageBox sink (qt_message_box.h),
// tests a RecordingSink (recording_sink.h) that captures every box and
// answers from a script, and a program started in test mode
// (test_mode.h) a recording sink fed from a file.
//
// Answers are the Win32 ones (IDOK .. IDNO); 0 means the box could not be
// shown.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::ui {

// --- Win32 flag words --------------------------------------------------------
// Buttons (low nibble).
inline constexpr uint32_t MB_OK = 0x00000000;
inline constexpr uint32_t MB_OKCANCEL = 0x00000001;
inline constexpr uint32_t MB_ABORTRETRYIGNORE = 0x00000002;
inline constexpr uint32_t MB_YESNOCANCEL = 0x00000003;
inline constexpr uint32_t MB_YESNO = 0x00000004;
inline constexpr uint32_t MB_RETRYCANCEL = 0x00000005;
inline constexpr uint32_t MB_TYPEMASK = 0x0000000F;
// Icons.
inline constexpr uint32_t MB_ICONHAND = 0x00000010;
inline constexpr uint32_t MB_ICONQUESTION = 0x00000020;
inline constexpr uint32_t MB_ICONEXCLAMATION = 0x00000030;
inline constexpr uint32_t MB_ICONASTERISK = 0x00000040;
inline constexpr uint32_t MB_ICONERROR = MB_ICONHAND;
inline constexpr uint32_t MB_ICONSTOP = MB_ICONHAND;
inline constexpr uint32_t MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr uint32_t MB_ICONINFORMATION = MB_ICONASTERISK;
inline constexpr uint32_t MB_ICONMASK = 0x000000F0;
// Default button.
inline constexpr uint32_t MB_DEFBUTTON1 = 0x00000000;
inline constexpr uint32_t MB_DEFBUTTON2 = 0x00000100;
inline constexpr uint32_t MB_DEFBUTTON3 = 0x00000200;
inline constexpr uint32_t MB_DEFBUTTON4 = 0x00000300;
inline constexpr uint32_t MB_DEFMASK = 0x00000F00;
// Modality and window behaviour.
inline constexpr uint32_t MB_APPLMODAL = 0x00000000;
inline constexpr uint32_t MB_SYSTEMMODAL = 0x00001000;
inline constexpr uint32_t MB_TASKMODAL = 0x00002000;
inline constexpr uint32_t MB_MODEMASK = 0x00003000;
inline constexpr uint32_t MB_HELP = 0x00004000;
inline constexpr uint32_t MB_SETFOREGROUND = 0x00010000;
inline constexpr uint32_t MB_TOPMOST = 0x00040000;

// Answers.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// What a user can do to a box besides pressing one of its buttons. Scripts
// (RecordingSink, the test-mode answers file) give them in place of an
// answer, and the box answers them as the real one does (gestureAnswer).
inline constexpr int kGestureEscape = 101;  // the Escape key
inline constexpr int kGestureClose = 102;   // a close request: close button, window manager, Alt+F4
inline constexpr int kGestureReturn = 103;  // the Return key
bool isGesture(int scripted);

// The plain beep of MessageBeep (0xFFFFFFFF).
inline constexpr uint32_t MB_SIMPLEBEEP = 0xFFFFFFFF;

// --- The typed form -----------------------------------------------------------
enum class Icon { None, Error, Warning, Information, Question };
enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Modality { Application, Task, System };

struct MessageBoxRequest {
  std::string caption;
  std::string text;
  Icon icon = Icon::None;
  Buttons buttons = Buttons::Ok;
  int defaultButton = 0;  // index among the buttons, from 0 (MB_DEFBUTTON1)
  Modality modality = Modality::Application;
  bool topMost = false;
  bool setForeground = false;
  bool helpButton = false;    // a Help button beside the others (MB_HELP)
  uint32_t helpContext = 0;   // what the Help button opens; 0: none
  bool applicationBox = false;  // the application's own box: owned by its
                                // active window, caption the application's

  // Decodes a Win32 flag word. Unknown button codes (6..15) give OK, as the
  // system does not; a default button past the last one falls back to the
  // first; unknown icon codes give none.
  static MessageBoxRequest fromFlags(std::string_view text, std::string_view caption, uint32_t flags);
  // The flag word that fromFlags turns back into this request (caption,
  // text, help context and applicationBox are not part of it).
  uint32_t flags() const;

  // The answers of the buttons, in the order they are shown.
  std::vector<int> answers() const;
  // The answer of the default button.
  int defaultAnswer() const;
  // Whether `answer` is one of this box's buttons.
  bool accepts(int answer) const;

  bool operator==(const MessageBoxRequest&) const = default;
};

// The answer a box gives to a gesture, or 0 when the box ignores it and stays
// open. A Yes/No and an Abort/Retry/Ignore box cannot be dismissed: Escape
// and close requests do nothing, so that no question about the learner's
// work is answered by a key that meant "go away". A box with Cancel answers
// Cancel to both; a box of OK alone answers OK. Return answers the default
// button. Anything that is not a gesture answers 0.
int gestureAnswer(const MessageBoxRequest& request, int gesture);

// Names used in logs and scripts: "ok", "cancel", ... for answers (0 is
// "none"; the gestures are "escape", "close" and "return"), "error",
// "warning", ... for icons, "okcancel", "yesno", ... for button sets.
std::string_view answerName(int answer);
int answerFromName(std::string_view name);  // also "IDYES", "Yes", "6"; -1 if unknown
std::string_view iconName(Icon icon);
std::string_view buttonsName(Buttons buttons);

// --- Sinks ------------------------------------------------------------------------
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows the box modally and answers the pressed button (IDOK .. IDNO), or 0
  // when it cannot be shown.
  virtual int show(const MessageBoxRequest& request) = 0;
  // MessageBeep: `type` is MB_SIMPLEBEEP, MB_OK or one of the MB_ICON values.
  virtual void beep(uint32_t type) = 0;
};

// The sink every call goes to. Until one is set it is chosen at first use:
// in test mode the file-scripted recording sink (test_mode.h); with a
// QApplication on a real display the QMessageBox sink; otherwise (no
// widgets, or the offscreen platform where nobody could answer) a sink that
// writes the box to standard error and answers 0.
MessageSink& currentSink();
// Makes `sink` (not owned) the current one and answers the previous one set
// this way (nullptr: the default choice). nullptr goes back to the default.
MessageSink* setCurrentSink(MessageSink* sink);

// Sets a sink for the lifetime of the object and restores the previous one.
class ScopedSink {
 public:
  explicit ScopedSink(MessageSink& sink) : previous_(setCurrentSink(&sink)) {}
  ~ScopedSink() { setCurrentSink(previous_); }
  ScopedSink(const ScopedSink&) = delete;
  ScopedSink& operator=(const ScopedSink&) = delete;

 private:
  MessageSink* previous_;
};

// --- The calls code makes -------------------------------------------------------
// MessageBox(owner, text, caption, flags) without the owner: a box of no owner.
int MessageBox(std::string_view text, std::string_view caption, uint32_t flags);
int MessageBox(const MessageBoxRequest& request);
// The application's box: caption = applicationCaption(), owned by the active
// window of the program, with a help context for its Help button (MB_HELP is
// implied by a non-zero context).
int AppMessageBox(std::string_view text, uint32_t flags, uint32_t helpContext = 0);
// Plays a system sound; always answers true (a sound that cannot be played
// is not an error for the callers).
bool MessageBeep(uint32_t type);

// The caption of AppMessageBox (the application's name). Empty at start.
void setApplicationCaption(std::string caption);
std::string applicationCaption();

// What the Help button of a box opens: called with the box's help context
// while the box stays up. None at start (the button then does nothing).
void setHelpHandler(std::function<void(uint32_t helpContext)> handler);
void invokeHelp(uint32_t helpContext);

}  // namespace plat::ui
