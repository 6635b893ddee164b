// The Qt backend and the host widget on an offscreen QApplication: Qt input
// arriving as messages, the pump inside nested event loops, and a layer
// control inside a QDialog.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <string>
#include <thread>
#include <vector>

#include "platform/ui/qt_message_box.h"
#include "platform/win/gdi.h"
#include "platform/win/host_widget.h"
#include "platform/win/qt_backend.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

using namespace plat::win;

namespace {

struct Seen {
  UINT msg;
  WPARAM w;
  LPARAM l;
  HWND h;
};
std::vector<Seen> g_seen;
LRESULT g_dlgCode = DLGC_WANTARROWS | DLGC_WANTCHARS;

LRESULT controlProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_GETDLGCODE: return g_dlgCode;
    case WM_LBUTTONDOWN:
      SetFocus(h);
      SendMessage(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), 1),
                  reinterpret_cast<LPARAM>(h));
      break;
    default: break;
  }
  if ((m >= WM_LBUTTONDOWN && m <= WM_MOUSEWHEEL) || (m >= WM_KEYDOWN && m <= WM_SYSCHAR) ||
      m == WM_SETFOCUS || m == WM_KILLFOCUS || m == WM_TIMER || m == WM_USER)
    g_seen.push_back({m, w, l, h});
  return DefWindowProc(h, m, w, l);
}

bool seen(UINT m, WPARAM w) {
  for (const auto& s : g_seen)
    if (s.msg == m && s.w == w) return true;
  return false;
}

class QtLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    g_seen.clear();
    g_dlgCode = DLGC_WANTARROWS | DLGC_WANTCHARS;
    WNDCLASS wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = controlProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1));
    wc.lpszClassName = "TestCtl";
    ASSERT_NE(RegisterClass(&wc), 0);
  }
  void TearDown() override { test::reset(); }
};

TEST_F(QtLayer, TheScreenIsReadAtTheFirstWindowNotAtRegistration) {
  test::reset();
  WNDCLASS wc;
  wc.lpfnWndProc = controlProc;
  wc.lpszClassName = "Late";
  ASSERT_NE(RegisterClass(&wc), 0);
  ASSERT_TRUE(GetClassInfo(nullptr, "Late", &wc));
  EXPECT_FALSE(test::screenWasRead());
  HWND h = CreateWindowEx(0, "Late", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(h);
  EXPECT_TRUE(test::screenWasRead());
  QScreen* s = QGuiApplication::primaryScreen();
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), s->geometry().width());
  EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSY), static_cast<int>(s->logicalDotsPerInchY() + 0.5));
}

TEST_F(QtLayer, ALibraryRegisteringClassesAtLoadLeavesTheScreenUnreadUntilTheFirstWindow) {
  ASSERT_TRUE(qobject_cast<QApplication*>(QCoreApplication::instance()));
  void* lib = dlopen(TV_WIN_CLASSLIB, RTLD_NOW);
  ASSERT_TRUE(lib) << dlerror();
  WNDCLASS wc;
  EXPECT_TRUE(GetClassInfo(nullptr, "LibClass", &wc));
  EXPECT_FALSE(test::screenWasRead());
  HWND h = CreateWindowEx(0, "LibClass", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                          nullptr);
  ASSERT_TRUE(h);
  EXPECT_TRUE(test::screenWasRead());
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), QGuiApplication::primaryScreen()->geometry().height());
  EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0x1234);
  DestroyWindow(h);
  dlclose(lib);
  EXPECT_FALSE(GetClassInfo(nullptr, "LibClass", &wc));  // gone with the library
}

TEST_F(QtLayer, AClickArrivesAsButtonMessagesAtClientCoordinates) {
  HWND h = CreateWindowEx(0, "TestCtl", "", WS_POPUP | WS_BORDER | WS_VISIBLE, 50, 60, 100, 80,
                          nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(h);
  EXPECT_TRUE(qtBackendActive());
  QWidget* view = widgetForWindow(h);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->geometry(), QRect(50, 60, 100, 80));
  QApplication::processEvents();
  g_seen.clear();
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(11, 21));
  ASSERT_GE(g_seen.size(), 2u);
  const Seen* down = nullptr;
  const Seen* up = nullptr;
  for (const auto& s : g_seen) {
    if (s.msg == WM_LBUTTONDOWN) down = &s;
    if (s.msg == WM_LBUTTONUP) up = &s;
  }
  ASSERT_TRUE(down && up);
  EXPECT_EQ(GET_X_LPARAM(down->l), 10);  // one pixel of border
  EXPECT_EQ(GET_Y_LPARAM(down->l), 20);
  EXPECT_EQ(GET_X_LPARAM(up->l), 10);
  // The view shows the window's painted image.
  QApplication::processEvents();
  QImage shot = view->grab().toImage();
  EXPECT_EQ(shot.pixel(0, 0) & 0xFFFFFF, GetSysColor(COLOR_WINDOWFRAME));
  EXPECT_EQ(shot.pixel(50, 40) & 0xFFFFFF, 0xFFFFFFu);
}

std::vector<Seen> seenOf(UINT m) {
  std::vector<Seen> out;
  for (const auto& s : g_seen)
    if (s.msg == m) out.push_back(s);
  return out;
}

TEST_F(QtLayer, AWheelArrivesAsWmMouseWheelWithScreenCoordinates) {
  HWND top = CreateWindowEx(0, "TestCtl", "", WS_POPUP | WS_BORDER | WS_VISIBLE, 50, 60, 100, 80,
                            nullptr, nullptr, nullptr, nullptr);
  HWND kid = CreateWindowEx(0, "TestCtl", "", WS_CHILD | WS_VISIBLE, 10, 10, 40, 40, top,
                            reinterpret_cast<HMENU>(1), nullptr, nullptr);
  ASSERT_TRUE(top && kid);
  QWidget* view = widgetForWindow(top);
  ASSERT_TRUE(view);
  QApplication::processEvents();
  enum Focus { kNone, kTop, kKid };
  struct Case {
    const char* name;
    Focus focus;
    QPoint at;  // in the view
    QPoint angle;
    Qt::MouseButtons buttons;
    Qt::KeyboardModifiers mods;
    HWND to;  // nullptr: nothing arrives
    int delta;
    WPARAM keys;
  } cases[] = {
      {"down a notch to the focus window", kKid, {15, 15}, {0, -120}, {}, Qt::ControlModifier, kid,
       -120, MK_CONTROL},
      {"the focus window even when the mouse is elsewhere", kTop, {15, 15}, {0, 240},
       Qt::LeftButton, Qt::ShiftModifier, top, 240, MK_SHIFT | MK_LBUTTON},
      {"without a focus, the window under the mouse", kNone, {15, 15}, {0, 120}, {}, {}, kid, 120, 0},
      {"a sideways wheel is no vertical one", kKid, {15, 15}, {120, 0}, {}, {}, nullptr, 0, 0},
  };
  for (const auto& c : cases) {
    SetFocus(c.focus == kKid ? kid : c.focus == kTop ? top : nullptr);
    g_seen.clear();
    QPointF global = view->mapToGlobal(QPointF(c.at));
    QWheelEvent ev(QPointF(c.at), global, QPoint(), c.angle, c.buttons, c.mods, Qt::NoScrollPhase,
                   false);
    QApplication::sendEvent(view, &ev);
    std::vector<Seen> wheels = seenOf(WM_MOUSEWHEEL);
    if (!c.to) {
      EXPECT_TRUE(wheels.empty()) << c.name;
      continue;
    }
    // DefWindowProc hands a child's wheel on to its parent: the first is the target.
    ASSERT_FALSE(wheels.empty()) << c.name;
    EXPECT_EQ(wheels[0].h, c.to) << c.name;
    EXPECT_EQ(static_cast<short>(HIWORD(wheels[0].w)), c.delta) << c.name;
    EXPECT_EQ(LOWORD(wheels[0].w), c.keys) << c.name;
    // Screen coordinates, not client ones.
    EXPECT_EQ(GET_X_LPARAM(wheels[0].l), 50 + c.at.x()) << c.name;
    EXPECT_EQ(GET_Y_LPARAM(wheels[0].l), 60 + c.at.y()) << c.name;
  }
}

// A key message as "KEYDOWN X", with "+alt" when the context bit (Alt
// held) is set; characters as "SYSCHAR x".
std::vector<std::string> keyTrace() {
  std::vector<std::string> out;
  for (const auto& s : g_seen) {
    const char* n = nullptr;
    switch (s.msg) {
      case WM_KEYDOWN: n = "KEYDOWN"; break;
      case WM_KEYUP: n = "KEYUP"; break;
      case WM_SYSKEYDOWN: n = "SYSKEYDOWN"; break;
      case WM_SYSKEYUP: n = "SYSKEYUP"; break;
      case WM_CHAR: n = "CHAR"; break;
      case WM_SYSCHAR: n = "SYSCHAR"; break;
      default: continue;
    }
    std::string key;
    switch (s.w) {
      case VK_MENU: key = "ALT"; break;
      case VK_CONTROL: key = "CTRL"; break;
      case VK_F4: key = "F4"; break;
      case VK_F10: key = "F10"; break;
      default: key = std::string(1, static_cast<char>(s.w)); break;
    }
    bool context = (static_cast<ULONG_PTR>(s.l) >> 29) & 1;
    out.push_back(std::string(n) + " " + key + (context ? "+alt" : ""));
  }
  return out;
}

TEST_F(QtLayer, QtKeysWithAltArriveAsSystemKeys) {
  HWND h = CreateWindowEx(0, "TestCtl", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, nullptr,
                          nullptr, nullptr, nullptr);
  SetFocus(h);
  QWidget* view = widgetForWindow(h);
  ASSERT_TRUE(view);
  using Keys = std::vector<std::string>;
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    Keys want;
  } cases[] = {
      {Qt::Key_X, Qt::AltModifier,
       {"SYSKEYDOWN ALT+alt", "SYSKEYDOWN X+alt", "SYSCHAR x+alt", "SYSKEYUP X+alt", "KEYUP ALT"}},
      {Qt::Key_Alt, {}, {"SYSKEYDOWN ALT+alt", "SYSKEYUP ALT+alt"}},
      {Qt::Key_F4, Qt::AltModifier,
       {"SYSKEYDOWN ALT+alt", "SYSKEYDOWN F4+alt", "SYSKEYUP F4+alt", "KEYUP ALT"}},
      {Qt::Key_F10, {}, {"SYSKEYDOWN F10", "SYSKEYUP F10"}},
      {Qt::Key_X, {}, {"KEYDOWN X", "CHAR x", "KEYUP X"}},
      // With Ctrl, Alt makes no system keys (the AltGr combination).
      {Qt::Key_X, Qt::ControlModifier | Qt::AltModifier,
       {"KEYDOWN CTRL", "KEYDOWN ALT", "KEYDOWN X", "CHAR x", "KEYUP X", "KEYUP ALT", "KEYUP CTRL"}},
  };
  for (const auto& c : cases) {
    g_seen.clear();
    QTest::keyClick(view, c.key, c.mods);
    EXPECT_EQ(keyTrace(), c.want) << QKeySequence(c.key | c.mods).toString().toStdString();
  }
}

TEST_F(QtLayer, AQtDoubleClickIsWmLButtonDblClkOnlyForCsDblClksClasses) {
  WNDCLASS plain;
  ASSERT_TRUE(GetClassInfo(nullptr, "TestCtl", &plain));
  plain.style = 0;
  plain.lpszClassName = "PlainCtl";
  ASSERT_NE(RegisterClass(&plain), 0);
  using Msgs = std::vector<UINT>;
  struct Case {
    const char* cls;
    Qt::MouseButton button;
    Msgs want;
  } cases[] = {
      {"TestCtl", Qt::LeftButton, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
      {"PlainCtl", Qt::LeftButton, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}},
      {"TestCtl", Qt::RightButton, {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_RBUTTONUP}},
      {"PlainCtl", Qt::RightButton, {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP}},
  };
  for (const auto& c : cases) {
    HWND h = CreateWindowEx(0, c.cls, "", WS_POPUP | WS_VISIBLE, 20, 20, 60, 40, nullptr, nullptr,
                            nullptr, nullptr);
    ASSERT_TRUE(h);
    QWidget* view = widgetForWindow(h);
    ASSERT_TRUE(view);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    g_seen.clear();
    // Through the window, so that Qt's own double-click detection runs: the
    // view sees press, release, double click, release.
    QTest::mouseDClick(view->windowHandle(), c.button, {}, QPoint(30, 20));
    Msgs got;
    for (const auto& s : g_seen)
      if (s.msg >= WM_LBUTTONDOWN && s.msg <= WM_MBUTTONDBLCLK) got.push_back(s.msg);
    EXPECT_EQ(got, c.want) << c.cls << " button " << c.button;
    DestroyWindow(h);
  }
}

TEST_F(QtLayer, AnInputMethodCommitArrivesAsWmCharWithTheCodePoint) {
  HWND h = CreateWindowEx(0, "TestCtl", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, nullptr,
                          nullptr, nullptr, nullptr);
  SetFocus(h);
  QWidget* view = widgetForWindow(h);
  ASSERT_TRUE(view);
  g_seen.clear();
  QInputMethodEvent ev;
  ev.setCommitString(QStringLiteral("\u00E9\U0001F600"));
  QApplication::sendEvent(view, &ev);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].msg, WM_CHAR);
  EXPECT_EQ(g_seen[0].w, 0xE9u);
  EXPECT_EQ(g_seen[1].w, 0x1F600u);  // a whole code point, not a surrogate half
}

// Nested loops: a modal dialog or message box opened by the caller, by a
// window procedure handling a posted message, or by one handling a timer.
enum class Loop { Dialog, MessageBox };
enum class Origin { Caller, PostedMessage, Timer };
constexpr WPARAM kOpenLoop = 100;
constexpr UINT_PTR kOpenTimer = 100;
Loop g_loop = Loop::Dialog;
Origin g_origin = Origin::Caller;
bool g_inLoop = false, g_loopRan = false, g_postedInLoop = false, g_timerInLoop = false;
int g_boxAnswer = 0;
HWND g_nestingWindow = nullptr;

void runNestedLoop() {
  g_inLoop = true;
  // Closes the loop once what should run inside it has run (or after 3 s).
  QElapsedTimer since;
  since.start();
  QTimer poll;
  bool timerSet = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    // For a loop opened by a posted message, the layer timer starts only
    // once the message behind it has run, so that it cannot be what woke
    // the pump for that message.
    if (g_origin == Origin::PostedMessage && g_postedInLoop && !timerSet) {
      SetTimer(g_nestingWindow, 5, 20, nullptr);
      timerSet = true;
    }
    bool done = g_timerInLoop && (g_postedInLoop || g_origin == Origin::Timer);
    if (!done && since.elapsed() < 3000) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(QMessageBox::Ok)->click();
    else if (auto* dlg = qobject_cast<QDialog*>(modal)) dlg->accept();
  });
  poll.start(5);
  if (g_loop == Loop::Dialog) {
    QDialog dlg;
    dlg.exec();
  } else {
    // The program's message box, shown by its Qt sink.
    plat::ui::QtMessageSink sink;
    plat::ui::ScopedSink scoped(sink);
    g_boxAnswer = plat::ui::MessageBox("A box over layer windows", "Nested", plat::ui::MB_OK);
  }
  g_inLoop = false;
  g_loopRan = true;
}

LRESULT nestingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER && w == kOpenLoop) {
    runNestedLoop();
    return 0;
  }
  if (m == WM_TIMER && w == kOpenTimer) {
    KillTimer(h, kOpenTimer);
    runNestedLoop();
    return 0;
  }
  if (m == WM_USER && w == 7) g_postedInLoop = g_postedInLoop || g_inLoop;
  if (m == WM_TIMER && w == 5) g_timerInLoop = g_timerInLoop || g_inLoop;
  return DefWindowProc(h, m, w, l);
}

TEST_F(QtLayer, PostedMessagesAndTimersRunInsideNestedLoops) {
  struct Case {
    const char* name;
    Loop loop;
    Origin origin;
  } cases[] = {
      {"dialog opened by the caller", Loop::Dialog, Origin::Caller},
      {"dialog opened for a posted message", Loop::Dialog, Origin::PostedMessage},
      {"dialog opened for a timer", Loop::Dialog, Origin::Timer},
      {"message box opened by the caller", Loop::MessageBox, Origin::Caller},
      {"message box opened for a posted message", Loop::MessageBox, Origin::PostedMessage},
      {"message box opened for a timer", Loop::MessageBox, Origin::Timer},
  };
  for (const auto& c : cases) {
    HWND h = CreateWindowEx(0, "TestCtl", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                            nullptr);
    ASSERT_TRUE(h);
    SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(nestingProc));
    g_nestingWindow = h;
    g_loop = c.loop;
    g_origin = c.origin;
    g_inLoop = g_loopRan = g_postedInLoop = g_timerInLoop = false;
    g_boxAnswer = 0;
    switch (c.origin) {
      case Origin::Caller:
        PostMessage(h, WM_USER, 7, 0);
        SetTimer(h, 5, 20, nullptr);
        runNestedLoop();
        break;
      case Origin::PostedMessage:
        // The second message waits behind the one that opens the loop.
        PostMessage(h, WM_USER, kOpenLoop, 0);
        PostMessage(h, WM_USER, 7, 0);
        break;
      case Origin::Timer:
        // The other timer is due only after the loop has opened.
        SetTimer(h, kOpenTimer, 10, nullptr);
        SetTimer(h, 5, 40, nullptr);
        break;
    }
    EXPECT_TRUE(QTest::qWaitFor([] { return g_loopRan; }, 5000)) << c.name;
    EXPECT_TRUE(g_timerInLoop) << c.name;
    if (c.origin != Origin::Timer) {
      EXPECT_TRUE(g_postedInLoop) << c.name;
    }
    if (c.loop == Loop::MessageBox) {
      EXPECT_EQ(g_boxAnswer, plat::ui::IDOK) << c.name;
    }
    DestroyWindow(h);
    QTest::qWait(50);  // wake-ups asked for by this case do not serve the next
  }
}

TEST_F(QtLayer, AMessagePostedFromAnotherThreadRunsOnTheUiThread) {
  HWND h = CreateWindowEx(0, "TestCtl", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                          nullptr);
  ASSERT_TRUE(h);
  pumpMessages();
  g_seen.clear();
  std::thread t([h] { PostMessage(h, WM_USER, 11, 0); });
  t.join();
  for (int i = 0; i < 100 && !seen(WM_USER, 11); ++i) QTest::qWait(5);
  EXPECT_TRUE(seen(WM_USER, 11));
}

TEST_F(QtLayer, APopupShowsWithoutTakingTheFocus) {
  QWidget win;
  auto* edit = new QLineEdit(&win);
  win.show();
  win.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));
  edit->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(edit->hasFocus());
  HWND popup = CreateWindowEx(0, "TestCtl", "", WS_POPUP | WS_BORDER | WS_VISIBLE, 10, 10, 60, 40,
                              nullptr, nullptr, nullptr, nullptr);
  QWidget* view = widgetForWindow(popup);
  ASSERT_TRUE(view);
  QApplication::processEvents();
  EXPECT_TRUE(view->isVisible());
  EXPECT_TRUE(view->windowFlags() & Qt::WindowDoesNotAcceptFocus);
  EXPECT_TRUE(edit->hasFocus());
  ShowWindow(popup, SW_HIDE);
  EXPECT_FALSE(view->isVisible());
}

TEST_F(QtLayer, HostedControlTakesPartInTheDialog) {
  QDialog dlg;
  auto* layout = new QVBoxLayout(&dlg);
  auto* edit = new QLineEdit(&dlg);
  auto* host = new HostWidget(&dlg);
  auto* ok = new QPushButton("OK", &dlg);
  ok->setDefault(true);
  layout->addWidget(edit);
  layout->addWidget(host);
  layout->addWidget(ok);
  std::vector<WPARAM> commands;
  host->setHandler([&](UINT m, WPARAM w, LPARAM, LRESULT* r) {
    if (m != WM_COMMAND) return false;
    commands.push_back(w);
    *r = 0;
    return true;
  });
  HWND ctl = CreateWindowEx(0, "TestCtl", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10, 10,
                            host->hostWindow(), reinterpret_cast<HMENU>(42), nullptr, nullptr);
  ASSERT_TRUE(ctl);
  bool accepted = false;
  QObject::connect(ok, &QPushButton::clicked, [&] { accepted = true; });
  dlg.resize(300, 300);
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QApplication::processEvents();

  // Geometry follows the layout; the control fills the host.
  RECT cr;
  GetClientRect(ctl, &cr);
  EXPECT_EQ(cr.right, host->width());
  EXPECT_EQ(cr.bottom, host->height());
  RECT wr;
  GetWindowRect(host->hostWindow(), &wr);
  EXPECT_EQ(QPoint(wr.left, wr.top), host->mapToGlobal(QPoint(0, 0)));

  // Tab goes from the line edit into the control and Shift+Tab back.
  edit->setFocus();
  QApplication::processEvents();
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_TRUE(host->hasFocus());
  EXPECT_EQ(GetFocus(), ctl);
  g_seen.clear();
  QTest::keyClick(host, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(edit->hasFocus());
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_TRUE(seen(WM_KILLFOCUS, 0));

  // Arrows and characters reach the control; Return reaches the default button.
  host->setFocus();
  QApplication::processEvents();
  g_seen.clear();
  QTest::keyClick(host, Qt::Key_Down);
  QTest::keyClick(host, Qt::Key_A);
  EXPECT_TRUE(seen(WM_KEYDOWN, VK_DOWN));
  EXPECT_TRUE(seen(WM_CHAR, 'a'));
  QTest::keyClick(host, Qt::Key_Return);
  EXPECT_TRUE(accepted);
  EXPECT_FALSE(seen(WM_KEYDOWN, VK_RETURN));

  // A click in the control reaches the dialog's handler as WM_COMMAND.
  QTest::mouseClick(host, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(LOWORD(commands[0]), 42);
  EXPECT_EQ(HIWORD(commands[0]), 1);
}

TEST_F(QtLayer, TabLeavesTheHostedControlForTheNextWidgetAndEscapeCancels) {
  QDialog dlg;
  auto* layout = new QVBoxLayout(&dlg);
  auto* before = new QLineEdit(&dlg);
  auto* host = new HostWidget(&dlg);
  auto* after = new QLineEdit(&dlg);
  auto* ok = new QPushButton("OK", &dlg);
  ok->setDefault(true);
  layout->addWidget(before);
  layout->addWidget(host);
  layout->addWidget(after);
  layout->addWidget(ok);
  HWND ctl = CreateWindowEx(0, "TestCtl", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10, 10,
                            host->hostWindow(), reinterpret_cast<HMENU>(42), nullptr, nullptr);
  ASSERT_TRUE(ctl);
  bool rejected = false;
  QObject::connect(&dlg, &QDialog::rejected, [&] { rejected = true; });
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  host->setFocus();
  QApplication::processEvents();
  ASSERT_EQ(GetFocus(), ctl);

  // Tab forward: out of the control to the widget after the host.
  g_seen.clear();
  QTest::keyClick(host, Qt::Key_Tab);
  EXPECT_TRUE(after->hasFocus());
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_TRUE(seen(WM_KILLFOCUS, 0));
  EXPECT_FALSE(seen(WM_KEYDOWN, VK_TAB));
  // And back again.
  QTest::keyClick(after, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(host->hasFocus());
  EXPECT_EQ(GetFocus(), ctl);

  // Escape is the dialog's Cancel, not a key of the control.
  g_seen.clear();
  QTest::keyClick(host, Qt::Key_Escape);
  EXPECT_TRUE(rejected);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_FALSE(seen(WM_KEYDOWN, VK_ESCAPE));
}

TEST_F(QtLayer, TabGoesThroughTheHostedControlsInCreationOrder) {
  QDialog dlg;
  auto* layout = new QVBoxLayout(&dlg);
  auto* before = new QLineEdit(&dlg);
  auto* host = new HostWidget(&dlg);
  auto* after = new QLineEdit(&dlg);
  layout->addWidget(before);
  layout->addWidget(host);
  layout->addWidget(after);
  host->setFillWithFirstChild(false);
  auto make = [&](int id, DWORD style) {
    return CreateWindowEx(0, "TestCtl", "", WS_CHILD | WS_VISIBLE | style, 0, id * 12, 40, 10,
                          host->hostWindow(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          nullptr, nullptr);
  };
  HWND first = make(1, WS_TABSTOP);
  HWND plain = make(2, 0);  // no tab stop: Tab passes it by
  HWND second = make(3, WS_TABSTOP);
  HWND disabled = make(4, WS_TABSTOP | WS_DISABLED);
  ASSERT_TRUE(first && plain && second && disabled);
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  before->setFocus();
  QApplication::processEvents();

  // Forward: into the first control, on to the second, then out.
  QTest::keyClick(before, Qt::Key_Tab);
  EXPECT_EQ(GetFocus(), first);
  QTest::keyClick(host, Qt::Key_Tab);
  EXPECT_TRUE(host->hasFocus());
  EXPECT_EQ(GetFocus(), second);
  QTest::keyClick(host, Qt::Key_Tab);
  EXPECT_TRUE(after->hasFocus());
  EXPECT_EQ(GetFocus(), nullptr);
  // Backward: in at the last control, back through the first, then out.
  QTest::keyClick(after, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(host->hasFocus());
  EXPECT_EQ(GetFocus(), second);
  QTest::keyClick(host, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(GetFocus(), first);
  QTest::keyClick(host, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(before->hasFocus());
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(QtLayer, NotificationsOfHostedControlsReachTheDialogsHandler) {
  QDialog dlg;
  auto* layout = new QVBoxLayout(&dlg);
  auto* host = new HostWidget(&dlg);
  layout->addWidget(host);
  std::vector<Seen> got;
  std::vector<Seen> created;
  host->setHandler([&](UINT m, WPARAM w, LPARAM l, LRESULT* r) {
    if (m == WM_PARENTNOTIFY) {
      created.push_back({m, w, l, nullptr});
      return false;  // the host's own handling goes on
    }
    if (m != WM_NOTIFY && m != WM_CTLCOLORSTATIC && m != 0x502) return false;
    got.push_back({m, w, l, nullptr});
    *r = static_cast<LRESULT>(m) * 10;
    return true;
  });
  HWND ctl = CreateWindowEx(0, "TestCtl", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                            host->hostWindow(), reinterpret_cast<HMENU>(42), nullptr, nullptr);
  ASSERT_TRUE(ctl);
  // The control announces itself, and still fills the host.
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(LOWORD(created[0].w), WM_CREATE);
  EXPECT_EQ(HIWORD(created[0].w), 42);
  EXPECT_EQ(reinterpret_cast<HWND>(created[0].l), ctl);
  dlg.resize(200, 200);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QApplication::processEvents();
  RECT cr;
  GetClientRect(ctl, &cr);
  EXPECT_EQ(cr.right, host->width());

  // What a control sends its parent comes to the handler with its
  // parameters, and the handler's answer goes back to the control.
  struct Record {
    HWND from;
    UINT_PTR id;
    UINT code;
  } header{ctl, 42, 7};
  HDC dc = GetDC(ctl);
  struct Case {
    UINT msg;
    WPARAM w;
    LPARAM l;
  } cases[] = {
      {WM_NOTIFY, 42, reinterpret_cast<LPARAM>(&header)},
      {WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(ctl)},
      {0x502, 0, MAKELPARAM(VK_DOWN, 2)},  // a control's own key notification
  };
  for (const auto& c : cases) {
    got.clear();
    EXPECT_EQ(SendMessage(GetParent(ctl), c.msg, c.w, c.l), static_cast<LRESULT>(c.msg) * 10)
        << c.msg;
    ASSERT_EQ(got.size(), 1u) << c.msg;
    EXPECT_EQ(got[0].w, c.w) << c.msg;
    EXPECT_EQ(got[0].l, c.l) << c.msg;
  }
  ReleaseDC(ctl, dc);
  // Without an answer from the handler the default one comes back.
  host->setHandler(nullptr);
  EXPECT_EQ(SendMessage(GetParent(ctl), WM_CTLCOLOREDIT, 0, reinterpret_cast<LPARAM>(ctl)),
            reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));

  // A scroll bar beside the control reports a click on its arrow.
  host->setHandler([&](UINT m, WPARAM w, LPARAM l, LRESULT* r) {
    if (m != WM_VSCROLL) return false;
    got.push_back({m, w, l, nullptr});
    *r = 0;
    return true;
  });
  HWND sb = CreateWindowEx(0, "ScrollBar", "", WS_CHILD | WS_VISIBLE | SBS_VERT, host->width() - 16,
                           0, 16, host->height(), host->hostWindow(), reinterpret_cast<HMENU>(43),
                           nullptr, nullptr);
  ASSERT_TRUE(sb);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 0;
  SetScrollInfo(sb, SB_CTL, &si, TRUE);
  got.clear();
  QTest::mouseClick(host, Qt::LeftButton, {}, QPoint(host->width() - 8, host->height() - 5));
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(LOWORD(got.front().w), SB_LINEDOWN);
  EXPECT_EQ(reinterpret_cast<HWND>(got.front().l), sb);
  EXPECT_EQ(LOWORD(got.back().w), SB_ENDSCROLL);
}

TEST_F(QtLayer, AControlAskingForAllKeysKeepsReturnAndTab) {
  g_dlgCode = DLGC_WANTALLKEYS;
  QDialog dlg;
  auto* layout = new QVBoxLayout(&dlg);
  auto* host = new HostWidget(&dlg);
  auto* ok = new QPushButton("OK", &dlg);
  ok->setDefault(true);
  layout->addWidget(host);
  layout->addWidget(ok);
  CreateWindowEx(0, "TestCtl", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, host->hostWindow(),
                 reinterpret_cast<HMENU>(1), nullptr, nullptr);
  bool accepted = false, rejected = false;
  QObject::connect(ok, &QPushButton::clicked, [&] { accepted = true; });
  QObject::connect(&dlg, &QDialog::rejected, [&] { rejected = true; });
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  host->setFocus();
  QApplication::processEvents();
  g_seen.clear();
  QTest::keyClick(host, Qt::Key_Return);
  QTest::keyClick(host, Qt::Key_Tab);
  QTest::keyClick(host, Qt::Key_Escape);
  EXPECT_FALSE(accepted);
  EXPECT_FALSE(rejected);
  EXPECT_TRUE(seen(WM_KEYDOWN, VK_RETURN));
  EXPECT_TRUE(seen(WM_KEYDOWN, VK_TAB));
  EXPECT_TRUE(seen(WM_KEYDOWN, VK_ESCAPE));
  EXPECT_TRUE(host->hasFocus());
}

}  // namespace
