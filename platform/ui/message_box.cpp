#include "platform/ui/message_box.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/ui/qt_message_box.h"
#include "platform/ui/test_mode.h"

namespace plat::ui {

namespace {

constexpr int kAnswersOk[] = {IDOK};
constexpr int kAnswersOkCancel[] = {IDOK, IDCANCEL};
constexpr int kAnswersAri[] = {IDABORT, IDRETRY, IDIGNORE};
constexpr int kAnswersYnc[] = {IDYES, IDNO, IDCANCEL};
constexpr int kAnswersYn[] = {IDYES, IDNO};
constexpr int kAnswersRc[] = {IDRETRY, IDCANCEL};

template <size_t N>
std::vector<int> toVector(const int (&a)[N]) {
  return std::vector<int>(a, a + N);
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

// Used where no sink can show anything: says on standard error what would
// have been shown, so that a box in a headless run is not lost silently.
class ConsoleSink : public MessageSink {
 public:
  int show(const MessageBoxRequest& r) override {
    std::fprintf(stderr, "[message box, not shown] %s: %s\n", r.caption.c_str(), r.text.c_str());
    return 0;
  }
  void beep(uint32_t) override {}
};

struct SinkState {
  std::mutex mutex;
  MessageSink* set = nullptr;
  std::unique_ptr<MessageSink> fallback;  // the default choice, made once
  std::string appCaption;
  std::function<void(uint32_t)> helpHandler;
};

SinkState& state() {
  static SinkState s;
  return s;
}

}  // namespace

MessageBoxRequest MessageBoxRequest::fromFlags(std::string_view text, std::string_view caption,
                                               uint32_t flags) {
  MessageBoxRequest r;
  r.text = std::string(text);
  r.caption = std::string(caption);
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: r.buttons = Buttons::OkCancel; break;
    case MB_ABORTRETRYIGNORE: r.buttons = Buttons::AbortRetryIgnore; break;
    case MB_YESNOCANCEL: r.buttons = Buttons::YesNoCancel; break;
    case MB_YESNO: r.buttons = Buttons::YesNo; break;
    case MB_RETRYCANCEL: r.buttons = Buttons::RetryCancel; break;
    default: r.buttons = Buttons::Ok; break;
  }
  switch (flags & MB_ICONMASK) {
    case MB_ICONHAND: r.icon = Icon::Error; break;
    case MB_ICONQUESTION: r.icon = Icon::Question; break;
    case MB_ICONEXCLAMATION: r.icon = Icon::Warning; break;
    case MB_ICONASTERISK: r.icon = Icon::Information; break;
    default: r.icon = Icon::None; break;
  }
  r.defaultButton = static_cast<int>((flags & MB_DEFMASK) >> 8);
  if (r.defaultButton >= static_cast<int>(r.answers().size())) r.defaultButton = 0;
  switch (flags & MB_MODEMASK) {
    case MB_SYSTEMMODAL: r.modality = Modality::System; break;
    case MB_TASKMODAL: r.modality = Modality::Task; break;
    default: r.modality = Modality::Application; break;
  }
  r.helpButton = (flags & MB_HELP) != 0;
  r.topMost = (flags & MB_TOPMOST) != 0;
  r.setForeground = (flags & MB_SETFOREGROUND) != 0;
  return r;
}

uint32_t MessageBoxRequest::flags() const {
  uint32_t f = 0;
  switch (buttons) {
    case Buttons::Ok: f |= MB_OK; break;
    case Buttons::OkCancel: f |= MB_OKCANCEL; break;
    case Buttons::AbortRetryIgnore: f |= MB_ABORTRETRYIGNORE; break;
    case Buttons::YesNoCancel: f |= MB_YESNOCANCEL; break;
    case Buttons::YesNo: f |= MB_YESNO; break;
    case Buttons::RetryCancel: f |= MB_RETRYCANCEL; break;
  }
  switch (icon) {
    case Icon::None: break;
    case Icon::Error: f |= MB_ICONHAND; break;
    case Icon::Question: f |= MB_ICONQUESTION; break;
    case Icon::Warning: f |= MB_ICONEXCLAMATION; break;
    case Icon::Information: f |= MB_ICONASTERISK; break;
  }
  if (defaultButton > 0 && defaultButton < static_cast<int>(answers().size()))
    f |= static_cast<uint32_t>(defaultButton) << 8;
  switch (modality) {
    case Modality::Application: break;
    case Modality::Task: f |= MB_TASKMODAL; break;
    case Modality::System: f |= MB_SYSTEMMODAL; break;
  }
  if (helpButton) f |= MB_HELP;
  if (topMost) f |= MB_TOPMOST;
  if (setForeground) f |= MB_SETFOREGROUND;
  return f;
}

std::vector<int> MessageBoxRequest::answers() const {
  switch (buttons) {
    case Buttons::Ok: return toVector(kAnswersOk);
    case Buttons::OkCancel: return toVector(kAnswersOkCancel);
    case Buttons::AbortRetryIgnore: return toVector(kAnswersAri);
    case Buttons::YesNoCancel: return toVector(kAnswersYnc);
    case Buttons::YesNo: return toVector(kAnswersYn);
    case Buttons::RetryCancel: return toVector(kAnswersRc);
  }
  return toVector(kAnswersOk);
}

int MessageBoxRequest::defaultAnswer() const {
  const std::vector<int> a = answers();
  if (defaultButton >= 0 && defaultButton < static_cast<int>(a.size())) return a[defaultButton];
  return a.front();
}

bool MessageBoxRequest::accepts(int answer) const {
  for (int a : answers())
    if (a == answer) return true;
  return false;
}

bool isGesture(int scripted) {
  return scripted == kGestureEscape || scripted == kGestureClose || scripted == kGestureReturn;
}

int gestureAnswer(const MessageBoxRequest& r, int gesture) {
  switch (gesture) {
    case kGestureReturn: return r.defaultAnswer();
    case kGestureEscape:
    case kGestureClose:
      if (r.accepts(IDCANCEL)) return IDCANCEL;
      if (r.buttons == Buttons::Ok) return IDOK;
      return 0;
    default: return 0;
  }
}

std::string_view answerName(int answer) {
  switch (answer) {
    case kGestureEscape: return "escape";
    case kGestureClose: return "close";
    case kGestureReturn: return "return";
    case IDOK: return "ok";
    case IDCANCEL: return "cancel";
    case IDABORT: return "abort";
    case IDRETRY: return "retry";
    case IDIGNORE: return "ignore";
    case IDYES: return "yes";
    case IDNO: return "no";
    default: return "none";
  }
}

int answerFromName(std::string_view name) {
  if (name.size() == 1 && name[0] >= '0' && name[0] <= '7') return name[0] - '0';
  if (name.size() > 2 && equalsIgnoringCase(name.substr(0, 2), "id")) name.remove_prefix(2);
  for (int a = 0; a <= IDNO; ++a)
    if (equalsIgnoringCase(name, answerName(a))) return a;
  for (int g : {kGestureEscape, kGestureClose, kGestureReturn})
    if (equalsIgnoringCase(name, answerName(g))) return g;
  return -1;
}

std::string_view iconName(Icon icon) {
  switch (icon) {
    case Icon::None: return "none";
    case Icon::Error: return "error";
    case Icon::Warning: return "warning";
    case Icon::Information: return "information";
    case Icon::Question: return "question";
  }
  return "none";
}

std::string_view buttonsName(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return "ok";
    case Buttons::OkCancel: return "okcancel";
    case Buttons::AbortRetryIgnore: return "abortretryignore";
    case Buttons::YesNoCancel: return "yesnocancel";
    case Buttons::YesNo: return "yesno";
    case Buttons::RetryCancel: return "retrycancel";
  }
  return "ok";
}

MessageSink& currentSink() {
  SinkState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.set) return *s.set;
  if (!s.fallback) {
    if (auto sink = createTestModeSink())
      s.fallback = std::move(sink);
    else if (qtBoxesUsable())
      s.fallback = std::make_unique<QtMessageSink>();
    else
      s.fallback = std::make_unique<ConsoleSink>();
  }
  return *s.fallback;
}

MessageSink* setCurrentSink(MessageSink* sink) {
  SinkState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  MessageSink* previous = s.set;
  s.set = sink;
  return previous;
}

int MessageBox(std::string_view text, std::string_view caption, uint32_t flags) {
  return currentSink().show(MessageBoxRequest::fromFlags(text, caption, flags));
}

int MessageBox(const MessageBoxRequest& request) { return currentSink().show(request); }

int AppMessageBox(std::string_view text, uint32_t flags, uint32_t helpContext) {
  MessageBoxRequest r = MessageBoxRequest::fromFlags(text, applicationCaption(), flags);
  r.applicationBox = true;
  r.helpContext = helpContext;
  if (helpContext != 0) r.helpButton = true;
  return currentSink().show(r);
}

bool MessageBeep(uint32_t type) {
  currentSink().beep(type);
  return true;
}

void setApplicationCaption(std::string caption) {
  SinkState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.appCaption = std::move(caption);
}

std::string applicationCaption() {
  SinkState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.appCaption;
}

void setHelpHandler(std::function<void(uint32_t)> handler) {
  SinkState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.helpHandler = std::move(handler);
}

void invokeHelp(uint32_t helpContext) {
  std::function<void(uint32_t)> handler;
  {
    SinkState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    handler = s.helpHandler;
  }
  if (handler) handler(helpContext);
}

}  // namespace plat::ui
