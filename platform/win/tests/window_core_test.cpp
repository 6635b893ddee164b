// Message-level behaviour of the window core, without Qt: every test window
// procedure records what it receives, and the tests compare the traces.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win/gdi.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

using namespace plat::win;

namespace {

std::vector<std::string> g_trace;
std::vector<UINT> g_ignored = {WM_GETMINMAXINFO, WM_NCPAINT, WM_PAINT, WM_ERASEBKGND,
                               WM_SETCURSOR, WM_NCHITTEST, WM_MOUSEACTIVATE, WM_NCACTIVATE,
                               WM_ACTIVATE};

const char* msgName(UINT m) {
  switch (m) {
    case WM_NCCREATE: return "NCCREATE";
    case WM_NCCALCSIZE: return "NCCALCSIZE";
    case WM_CREATE: return "CREATE";
    case WM_SIZE: return "SIZE";
    case WM_MOVE: return "MOVE";
    case WM_SHOWWINDOW: return "SHOWWINDOW";
    case WM_WINDOWPOSCHANGING: return "POSCHANGING";
    case WM_WINDOWPOSCHANGED: return "POSCHANGED";
    case WM_PARENTNOTIFY: return "PARENTNOTIFY";
    case WM_DESTROY: return "DESTROY";
    case WM_NCDESTROY: return "NCDESTROY";
    case WM_SETFOCUS: return "SETFOCUS";
    case WM_KILLFOCUS: return "KILLFOCUS";
    case WM_CAPTURECHANGED: return "CAPTURECHANGED";
    case WM_KEYDOWN: return "KEYDOWN";
    case WM_KEYUP: return "KEYUP";
    case WM_SYSKEYDOWN: return "SYSKEYDOWN";
    case WM_CHAR: return "CHAR";
    case WM_TIMER: return "TIMER";
    case WM_LBUTTONDOWN: return "LBUTTONDOWN";
    case WM_LBUTTONUP: return "LBUTTONUP";
    case WM_LBUTTONDBLCLK: return "LBUTTONDBLCLK";
    case WM_NCLBUTTONDOWN: return "NCLBUTTONDOWN";
    case WM_MOUSEMOVE: return "MOUSEMOVE";
    case WM_ENABLE: return "ENABLE";
    case WM_CANCELMODE: return "CANCELMODE";
    case WM_STYLECHANGING: return "STYLECHANGING";
    case WM_STYLECHANGED: return "STYLECHANGED";
    case WM_SETTEXT: return "SETTEXT";
    case WM_GETTEXT: return "GETTEXT";
    default: return nullptr;
  }
}

std::string nameOf(HWND h) {
  char buf[64];
  GetWindowText(h, buf, sizeof buf);
  return buf;
}

void record(HWND h, UINT m, WPARAM w = 0) {
  for (UINT i : g_ignored)
    if (i == m) return;
  // The name is read without a message, so recording sends nothing.
  std::string n;
  if (m != WM_GETTEXT && m != WM_GETTEXTLENGTH) {
    n = nameOf(h);
  }
  const char* mn = msgName(m);
  std::string s = n + ":" + (mn ? mn : std::to_string(m));
  if (m == WM_TIMER) s += "#" + std::to_string(w);
  if (m != WM_GETTEXT && m != WM_GETTEXTLENGTH) g_trace.push_back(s);
}

// Behaviour switches for the recording procedure.
bool g_refuseNcCreate = false;
bool g_failCreate = false;
const char* g_childInNcCreate = nullptr;

LRESULT CALLBACK_Record(HWND h, UINT m, WPARAM w, LPARAM l) {
  record(h, m, w);
  if (m == WM_NCCREATE) {
    LRESULT r = DefWindowProc(h, m, w, l);
    if (g_childInNcCreate) {
      const char* name = g_childInNcCreate;
      g_childInNcCreate = nullptr;
      CreateWindowEx(0, "Rec", name, WS_CHILD, 0, 0, 5, 5, h, nullptr, nullptr, nullptr);
    }
    if (g_refuseNcCreate) return FALSE;
    return r;
  }
  if (m == WM_CREATE && g_failCreate) return -1;
  return DefWindowProc(h, m, w, l);
}

class Core : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    setClock(&clock);
    test::setScreen(800, 600, 96);
    g_trace.clear();
    g_refuseNcCreate = g_failCreate = false;
    g_childInNcCreate = nullptr;
    WNDCLASS wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = CALLBACK_Record;
    wc.cbWndExtra = static_cast<int>(2 * sizeof(void*));
    wc.lpszClassName = "Rec";
    ASSERT_NE(RegisterClass(&wc), 0);
  }
  void TearDown() override {
    test::reset();
    setClock(nullptr);
  }
  HWND make(const char* name, DWORD style = 0, HWND parent = nullptr, int id = 0,
            RECT r = {10, 20, 110, 70}, DWORD ex = 0) {
    return CreateWindowEx(ex, "Rec", name, style, r.left, r.top, r.right - r.left,
                          r.bottom - r.top, parent,
                          reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr,
                          nullptr);
  }
  test::ManualClock clock;
};

using Trace = std::vector<std::string>;

TEST_F(Core, CreationSendsTheMessagesInWindowsOrder) {
  HWND top = make("top");
  ASSERT_TRUE(top);
  EXPECT_EQ(g_trace, (Trace{":NCCREATE", "top:NCCALCSIZE", "top:CREATE", "top:SIZE", "top:MOVE"}));
  g_trace.clear();
  HWND child = make("kid", WS_CHILD | WS_VISIBLE, top, 7);
  ASSERT_TRUE(child);
  EXPECT_EQ(g_trace, (Trace{":NCCREATE", "kid:NCCALCSIZE", "kid:CREATE", "kid:SIZE", "kid:MOVE",
                            "top:PARENTNOTIFY", "kid:SHOWWINDOW", "kid:POSCHANGING",
                            "kid:POSCHANGED"}));
  EXPECT_EQ(GetDlgCtrlID(child), 7);
  EXPECT_EQ(GetDlgItem(top, 7), child);
  EXPECT_EQ(GetParent(child), top);
}

TEST_F(Core, DestructionGoesParentFirstThenNcDestroyChildrenFirst) {
  HWND top = make("top");
  HWND a = make("a", WS_CHILD, top, 1, {}, WS_EX_NOPARENTNOTIFY);
  make("a1", WS_CHILD, a, 2, {}, WS_EX_NOPARENTNOTIFY);
  make("b", WS_CHILD, top, 3, {}, WS_EX_NOPARENTNOTIFY);
  g_trace.clear();
  ASSERT_TRUE(DestroyWindow(top));
  EXPECT_EQ(g_trace, (Trace{"top:DESTROY", "a:DESTROY", "a1:DESTROY", "b:DESTROY",
                            "a1:NCDESTROY", "a:NCDESTROY", "b:NCDESTROY", "top:NCDESTROY"}));
  EXPECT_EQ(test::liveWindowCount(), 0);
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(a));
}

TEST_F(Core, RefusedNcCreateLeavesNoWindowAndSendsNcDestroy) {
  g_refuseNcCreate = true;
  g_childInNcCreate = "inner";
  HWND top = make("top");
  EXPECT_EQ(top, nullptr);
  EXPECT_EQ(test::liveWindowCount(), 0);
  // The child made inside WM_NCCREATE is destroyed with it.
  ASSERT_GE(g_trace.size(), 2u);
  EXPECT_EQ(g_trace.front(), ":NCCREATE");
  EXPECT_EQ(g_trace.back(), "top:NCDESTROY");
  EXPECT_NE(std::find(g_trace.begin(), g_trace.end(), "inner:NCDESTROY"), g_trace.end());
  EXPECT_EQ(std::find(g_trace.begin(), g_trace.end(), "top:DESTROY"), g_trace.end());
}

TEST_F(Core, AChildMadeInsideNcCreateLivesOnWithItsParent) {
  g_childInNcCreate = "inner";
  HWND top = make("top", WS_BORDER);
  ASSERT_TRUE(top);
  // The child is made, and announces itself, before its parent has a client area.
  EXPECT_EQ(g_trace, (Trace{":NCCREATE", ":NCCREATE", "inner:NCCALCSIZE", "inner:CREATE",
                            "inner:SIZE", "inner:MOVE", "top:PARENTNOTIFY", "top:NCCALCSIZE",
                            "top:CREATE", "top:SIZE", "top:MOVE"}));
  HWND inner = GetWindow(top, GW_CHILD);
  ASSERT_TRUE(IsWindow(inner));
  EXPECT_EQ(nameOf(inner), "inner");
  EXPECT_EQ(GetParent(inner), top);
  EXPECT_EQ(test::liveWindowCount(), 2);
  // Its place follows the client area that the parent got afterwards.
  POINT p{0, 0};
  ClientToScreen(inner, &p);
  EXPECT_EQ(p.x, 11);
  EXPECT_EQ(p.y, 21);
  ASSERT_TRUE(DestroyWindow(top));
  EXPECT_FALSE(IsWindow(inner));
  EXPECT_EQ(test::liveWindowCount(), 0);
}

TEST_F(Core, CreateAnsweringMinusOneDestroysTheWindow) {
  g_failCreate = true;
  EXPECT_EQ(make("top"), nullptr);
  EXPECT_EQ(test::liveWindowCount(), 0);
  EXPECT_EQ(g_trace, (Trace{":NCCREATE", "top:NCCALCSIZE", "top:CREATE", "top:DESTROY",
                            "top:NCDESTROY"}));
}

TEST_F(Core, StaleHandleIsRefusedEvenWhenItsSlotIsReused) {
  HWND first = make("first");
  ASSERT_TRUE(DestroyWindow(first));
  HWND second = make("second");
  ASSERT_TRUE(second);
  EXPECT_NE(first, second);
  EXPECT_FALSE(IsWindow(first));
  g_trace.clear();
  EXPECT_EQ(SendMessage(first, WM_USER, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(PostMessage(first, WM_USER, 0, 0));
  EXPECT_FALSE(DestroyWindow(first));
  EXPECT_TRUE(g_trace.empty());
  EXPECT_TRUE(IsWindow(second));
}

std::vector<int> g_posted;
LRESULT postProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) {
    g_posted.push_back(static_cast<int>(w));
    if (w == 2) PostMessage(h, WM_USER, 99, 0);  // waits for the next round
  }
  return DefWindowProc(h, m, w, l);
}

TEST_F(Core, PostedMessagesRunInOrderAndDeadTargetsAreDropped) {
  HWND a = make("a");
  HWND b = make("b");
  SetWindowLongPtr(a, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(postProc));
  SetWindowLongPtr(b, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(postProc));
  g_posted.clear();
  for (int i = 1; i <= 4; ++i) PostMessage(i % 2 ? a : b, WM_USER, static_cast<WPARAM>(i), 0);
  PostMessage(b, WM_USER, 5, 0);
  DestroyWindow(b);  // its queued messages go with it
  pumpMessages();
  EXPECT_EQ(g_posted, (std::vector<int>{1, 3}));
  HWND c = make("c");
  SetWindowLongPtr(c, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(postProc));
  g_posted.clear();
  PostMessage(c, WM_USER, 1, 0);
  PostMessage(c, WM_USER, 2, 0);
  PostMessage(c, WM_USER, 3, 0);
  pumpMessages();
  EXPECT_EQ(g_posted, (std::vector<int>{1, 2, 3}));
  pumpMessages();
  EXPECT_EQ(g_posted, (std::vector<int>{1, 2, 3, 99}));
}

WNDPROC g_baseProc = nullptr;
LRESULT superProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_KEYDOWN) {
    g_trace.push_back("super:KEYDOWN");
    if (w == VK_F4) return 0;  // swallowed before the base sees it
  }
  return CallWindowProc(g_baseProc, h, m, w, l);
}

TEST_F(Core, SuperclassSeesKeysBeforeItsBase) {
  WNDCLASS base;
  ASSERT_TRUE(GetClassInfo(nullptr, "rec", &base));  // names match without regard to case
  g_baseProc = base.lpfnWndProc;
  WNDCLASS sup = base;
  sup.lpfnWndProc = superProc;
  sup.lpszClassName = "RecSuper";
  sup.style |= CS_GLOBALCLASS;
  ASSERT_NE(RegisterClass(&sup), 0);
  HWND h = CreateWindowEx(0, "RecSuper", "w", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(h);
  SetFocus(h);
  g_trace.clear();
  injectKey('A', true);
  injectKey(VK_F4, true);
  EXPECT_EQ(g_trace, (Trace{"super:KEYDOWN", "w:KEYDOWN", "super:KEYDOWN"}));
  EXPECT_EQ(GetClassLongPtr(h, GCL_CBWNDEXTRA), static_cast<ULONG_PTR>(2 * sizeof(void*)));
}

TEST_F(Core, ClassRegistryRules) {
  WNDCLASS wc;
  wc.lpfnWndProc = CALLBACK_Record;
  wc.lpszClassName = "REC";
  EXPECT_EQ(RegisterClass(&wc), 0);  // same name, same module
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  HWND h = make("w");
  EXPECT_FALSE(UnregisterClass("Rec", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
  DestroyWindow(h);
  EXPECT_TRUE(UnregisterClass("Rec", nullptr));
  EXPECT_EQ(make("w"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
  // The built-in scroll bar class is always there.
  HWND top = CreateWindowEx(0, "ScrollBar", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(top);
}

// Class numbers are 16-bit: a program that registers and unregisters classes
// for a long time (a library loaded again and again) must get freed numbers
// back, and a number still in use never goes to another class.
TEST_F(Core, ClassNumbersComeBackOnceFreed) {
  const auto byNumber = [](ATOM atom) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(atom)); };
  WNDCLASS wc;
  wc.lpfnWndProc = CALLBACK_Record;
  wc.lpszClassName = "Kept";
  const ATOM kept = RegisterClass(&wc);
  ASSERT_NE(kept, 0);
  wc.lpszClassName = "Cycled";
  ATOM previous = 0;
  for (int i = 0; i < 100000; ++i) {
    const ATOM atom = RegisterClass(&wc);
    ASSERT_NE(atom, 0) << "registration " << i;
    ASSERT_NE(atom, kept) << "registration " << i;
    ASSERT_NE(atom, previous) << "registration " << i;  // not handed out again at once
    previous = atom;
    if (i % 1000 == 0) {
      HWND h = CreateWindowEx(0, "Cycled", "w", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
      ASSERT_TRUE(h) << "registration " << i;
      DestroyWindow(h);
    }
    // Every other time by number, as a caller holding only the atom does.
    ASSERT_TRUE(UnregisterClass(i % 2 ? byNumber(atom) : "Cycled", nullptr)) << "registration " << i;
  }
  // The class registered before the loop still owns its number.
  EXPECT_TRUE(UnregisterClass(byNumber(kept), nullptr));
  WNDCLASS gone;
  EXPECT_FALSE(GetClassInfo(nullptr, "Kept", &gone));
}

TEST_F(Core, TimersFireInDueOrderOnTheManualClock) {
  HWND h = make("t");
  SetTimer(h, 1, 30, nullptr);
  SetTimer(h, 2, 10, nullptr);
  SetTimer(h, 3, 20, nullptr);
  g_trace.clear();
  clock.advance(9);
  pumpMessages();
  EXPECT_TRUE(g_trace.empty());
  clock.advance(26);  // t = 35: all three are due
  pumpMessages();
  EXPECT_EQ(g_trace, (Trace{"t:TIMER#2", "t:TIMER#3", "t:TIMER#1"}));
  g_trace.clear();
  pumpMessages();  // nothing is due again yet
  EXPECT_TRUE(g_trace.empty());
  EXPECT_TRUE(KillTimer(h, 2));
  EXPECT_FALSE(KillTimer(h, 2));
  clock.advance(30);
  pumpMessages();  // #3 was due at 1055, #1 at 1065
  EXPECT_EQ(g_trace, (Trace{"t:TIMER#3", "t:TIMER#1"}));
  DestroyWindow(h);  // its timers go with it
  clock.advance(100);
  g_trace.clear();
  pumpMessages();
  EXPECT_TRUE(g_trace.empty());
}

TEST_F(Core, FocusMovesWithKillAndSetFocusMessages) {
  HWND top = make("top");
  HWND a = make("a", WS_CHILD | WS_VISIBLE, top, 1, {}, WS_EX_NOPARENTNOTIFY);
  HWND b = make("b", WS_CHILD | WS_VISIBLE, top, 2, {}, WS_EX_NOPARENTNOTIFY);
  g_trace.clear();
  EXPECT_EQ(SetFocus(a), nullptr);
  EXPECT_EQ(SetFocus(b), a);
  EXPECT_EQ(g_trace, (Trace{"a:SETFOCUS", "a:KILLFOCUS", "b:SETFOCUS"}));
  EXPECT_EQ(GetFocus(), b);
  // A disabled window takes no focus; disabling the focus window drops it.
  EnableWindow(a, FALSE);
  EXPECT_EQ(SetFocus(a), nullptr);
  EXPECT_EQ(GetFocus(), b);
  g_trace.clear();
  EnableWindow(b, FALSE);
  EXPECT_EQ(g_trace, (Trace{"b:CANCELMODE", "b:KILLFOCUS", "b:ENABLE"}));
  EXPECT_EQ(GetFocus(), nullptr);
  // Destroying the focus window hands the focus to its parent.
  EnableWindow(a, TRUE);
  SetFocus(a);
  g_trace.clear();
  DestroyWindow(a);
  EXPECT_EQ(GetFocus(), top);
  EXPECT_EQ(g_trace, (Trace{"a:POSCHANGING", "a:POSCHANGED", "a:KILLFOCUS", "top:SETFOCUS",
                            "a:DESTROY", "a:NCDESTROY"}));
}

TEST_F(Core, CaptureChangesAreAnnounced) {
  HWND a = make("a");
  HWND b = make("b");
  g_trace.clear();
  SetCapture(a);
  EXPECT_EQ(SetCapture(b), a);
  EXPECT_EQ(GetCapture(), b);
  ReleaseCapture();
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(g_trace, (Trace{"a:CAPTURECHANGED", "b:CAPTURECHANGED"}));
}

TEST_F(Core, GlobalMemoryLocksResizesAndFrees) {
  HGLOBAL m = GlobalAlloc(GHND, 16);
  ASSERT_TRUE(m);
  auto* p = static_cast<unsigned char*>(GlobalLock(m));
  ASSERT_TRUE(p);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], 0);
  std::memcpy(p, "abcdefghijklmnop", 16);
  EXPECT_EQ(GlobalLock(m), p);
  EXPECT_EQ(GlobalFlags(m) & GMEM_LOCKCOUNT, 2u);
  EXPECT_TRUE(GlobalUnlock(m));   // still locked once
  EXPECT_FALSE(GlobalUnlock(m));  // now unlocked
  ASSERT_EQ(GlobalReAlloc(m, 32, GMEM_ZEROINIT), m);  // moveable: the handle stays
  EXPECT_EQ(GlobalSize(m), 32u);
  auto* q = static_cast<unsigned char*>(GlobalLock(m));
  EXPECT_EQ(std::memcmp(q, "abcdefghijklmnop", 16), 0);
  for (int i = 16; i < 32; ++i) EXPECT_EQ(q[i], 0);
  GlobalUnlock(m);
  EXPECT_EQ(GlobalFree(m), nullptr);
  EXPECT_EQ(GlobalLock(m), nullptr);
  EXPECT_EQ(GlobalFree(m), m);  // a second free fails
  EXPECT_EQ(GlobalFlags(m), GMEM_INVALID_HANDLE);
  test::failGlobalAlloc(1);
  EXPECT_EQ(GlobalAlloc(GHND, 8), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  HGLOBAL ok = GlobalAlloc(GHND, 8);
  EXPECT_TRUE(ok);
  GlobalFree(ok);
  EXPECT_EQ(test::liveGlobalCount(), 0);
}

struct Payload {
  std::uint64_t magic;
  std::string text;
};
LRESULT pointerProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) {
    auto* p = reinterpret_cast<Payload*>(l);
    p->text += "seen";
    return reinterpret_cast<LRESULT>(p);
  }
  return DefWindowProc(h, m, w, l);
}

TEST_F(Core, PointersSurviveLParamAndWindowLongs) {
  static_assert(sizeof(LPARAM) == sizeof(void*) && sizeof(WPARAM) == sizeof(void*) &&
                sizeof(LRESULT) == sizeof(void*) && sizeof(LONG_PTR) == sizeof(void*));
  HWND h = make("p");
  SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pointerProc));
  Payload pl{0x1122334455667788ull, ""};
  LRESULT r = SendMessage(h, WM_USER, 0, reinterpret_cast<LPARAM>(&pl));
  EXPECT_EQ(reinterpret_cast<Payload*>(r), &pl);
  EXPECT_EQ(pl.text, "seen");
  // Extra bytes hold a full pointer at offset 0 and another after it.
  SetWindowLongPtr(h, 0, reinterpret_cast<LONG_PTR>(&pl));
  SetWindowLongPtr(h, sizeof(void*), 42);
  EXPECT_EQ(reinterpret_cast<Payload*>(GetWindowLongPtr(h, 0)), &pl);
  EXPECT_EQ(GetWindowLongPtr(h, sizeof(void*)), 42);
  // Past the end is refused.
  EXPECT_EQ(GetWindowLongPtr(h, sizeof(void*) + 1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  EXPECT_EQ(SetWindowLong(h, 2 * sizeof(void*) - 2, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
}

TEST_F(Core, StyleChangesAndTextGoThroughMessages) {
  HWND h = make("s", WS_BORDER);
  g_trace.clear();
  SetWindowLong(h, GWL_STYLE, static_cast<LONG>(WS_BORDER | WS_TABSTOP));
  EXPECT_EQ(g_trace, (Trace{"s:STYLECHANGING", "s:STYLECHANGED"}));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLong(h, GWL_STYLE)), WS_BORDER | WS_TABSTOP);
  SetWindowText(h, "h\xC3\xA9llo");  // "héllo"
  char small[3];
  // A cut never splits a character: "h" and the two bytes of "é" do not fit.
  EXPECT_EQ(GetWindowText(h, small, sizeof small), 1);
  EXPECT_STREQ(small, "h");
  EXPECT_EQ(GetWindowTextLength(h), 6);
}

TEST_F(Core, MoveAndSizeSendTheirMessages) {
  HWND h = make("m");
  g_trace.clear();
  MoveWindow(h, 5, 6, 50, 40, TRUE);
  EXPECT_EQ(g_trace, (Trace{"m:POSCHANGING", "m:NCCALCSIZE", "m:POSCHANGED", "m:SIZE", "m:MOVE"}));
  g_trace.clear();
  SetWindowPos(h, nullptr, 7, 8, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // a move only
  EXPECT_EQ(g_trace, (Trace{"m:POSCHANGING", "m:POSCHANGED", "m:MOVE"}));
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 7);
  EXPECT_EQ(r.right, 57);
}

int g_inset = 0;
LRESULT ncProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NCCALCSIZE && g_inset) {
    RECT* r = w ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(l)->rgrc[0] : reinterpret_cast<RECT*>(l);
    InflateRect(r, -g_inset, -g_inset);
    return 0;
  }
  return DefWindowProc(h, m, w, l);
}

TEST_F(Core, NonClientAreaComesFromNcCalcSize) {
  HWND top = make("top", 0, nullptr, 0, {0, 0, 200, 200});
  HWND h = make("nc", WS_CHILD | WS_BORDER | WS_VSCROLL, top, 1, {10, 10, 110, 60});
  RECT cr;
  GetClientRect(h, &cr);
  EXPECT_EQ(cr.right, 100 - 2 - 16);
  EXPECT_EQ(cr.bottom, 50 - 2);
  POINT p{0, 0};
  ClientToScreen(h, &p);
  EXPECT_EQ(p.x, 11);
  EXPECT_EQ(p.y, 11);
  POINT inTop{0, 0};
  MapWindowPoints(h, top, &inTop, 1);
  EXPECT_EQ(inTop.x, 11);
  EXPECT_EQ(inTop.y, 11);
  EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(105, 30)), HTVSCROLL);
  EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(10, 30)), HTBORDER);
  EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(50, 30)), HTCLIENT);
  EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(150, 30)), HTNOWHERE);
  // A procedure of its own, asked again through SWP_FRAMECHANGED.
  SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ncProc));
  g_inset = 5;
  SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  GetClientRect(h, &cr);
  EXPECT_EQ(cr.right, 90);
  EXPECT_EQ(cr.bottom, 40);
  g_inset = 0;
}

std::vector<std::string> g_hooked;
bool g_swallow = false;
HHOOK g_hook = nullptr;
LRESULT mouseHook(int code, WPARAM w, LPARAM l) {
  auto* mh = reinterpret_cast<MOUSEHOOKSTRUCT*>(l);
  g_hooked.push_back(nameOf(mh->hwnd) + ":" + (msgName(static_cast<UINT>(w)) ? msgName(static_cast<UINT>(w)) : "?"));
  if (g_swallow) return 1;
  return CallNextHookEx(g_hook, code, w, l);
}

UINT g_lastMsg = 0;
LPARAM g_lastL = 0;
LPARAM g_setCursorL = 0;
LRESULT mouseProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m >= WM_MOUSEMOVE && m <= WM_MBUTTONDBLCLK) {
    g_lastMsg = m;
    g_lastL = l;
  }
  if (m == WM_SETCURSOR) g_setCursorL = l;
  record(h, m, w);
  return DefWindowProc(h, m, w, l);
}

TEST_F(Core, MouseInputArrivesInClientCoordinates) {
  HWND top = make("top", WS_VISIBLE, nullptr, 0, {100, 100, 300, 300});
  HWND kid = make("kid", WS_CHILD | WS_VISIBLE | WS_BORDER, top, 1, {20, 30, 120, 130},
                  WS_EX_NOPARENTNOTIFY);
  SetWindowLongPtr(kid, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mouseProc));
  g_trace.clear();
  injectMouse(nullptr, {100 + 20 + 1 + 9, 100 + 30 + 1 + 4}, 1, true);
  EXPECT_EQ(g_lastMsg, WM_LBUTTONDOWN);
  EXPECT_EQ(GET_X_LPARAM(g_lastL), 9);
  EXPECT_EQ(GET_Y_LPARAM(g_lastL), 4);
  EXPECT_EQ(LOWORD(static_cast<ULONG_PTR>(g_setCursorL)), HTCLIENT);
  EXPECT_EQ(HIWORD(static_cast<ULONG_PTR>(g_setCursorL)), WM_LBUTTONDOWN);
  injectMouse(nullptr, {130, 135}, 1, false);
  // A second press soon after on a CS_DBLCLKS class is a double click.
  injectMouse(nullptr, {130, 135}, 1, true);
  EXPECT_EQ(g_lastMsg, WM_LBUTTONDBLCLK);
  injectMouse(nullptr, {130, 135}, 1, false);
  clock.advance(600);
  injectMouse(nullptr, {130, 135}, 1, true);
  EXPECT_EQ(g_lastMsg, WM_LBUTTONDOWN);  // too late for a double click
  injectMouse(nullptr, {130, 135}, 1, false);
  // The border is non-client: WM_NCHITTEST's code is handed to WM_SETCURSOR.
  g_trace.clear();
  injectMouse(nullptr, {120, 150}, 1, true);
  EXPECT_EQ(LOWORD(static_cast<ULONG_PTR>(g_setCursorL)), HTBORDER);
  EXPECT_EQ(g_trace, (Trace{"kid:NCLBUTTONDOWN"}));
  injectMouse(nullptr, {120, 150}, 1, false);
  // With the capture, input outside the window still arrives, in client coordinates.
  SetCapture(kid);
  injectMouse(nullptr, {110, 110}, 0, false);
  EXPECT_EQ(g_lastMsg, WM_MOUSEMOVE);
  EXPECT_EQ(GET_X_LPARAM(g_lastL), 110 - 121);
  ReleaseCapture();
}

std::vector<UINT> g_buttons;
LRESULT buttonProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m >= WM_LBUTTONDOWN && m <= WM_MBUTTONDBLCLK) g_buttons.push_back(m);
  return DefWindowProc(h, m, w, l);
}

TEST_F(Core, DoubleClicksOnlyForClassesThatAskForThem) {
  WNDCLASS plain;
  ASSERT_TRUE(GetClassInfo(nullptr, "Rec", &plain));
  plain.style = 0;
  plain.lpszClassName = "RecPlain";
  ASSERT_NE(RegisterClass(&plain), 0);
  struct Case {
    const char* cls;
    int button;
    UINT down, up, dbl;
  } cases[] = {
      {"Rec", 1, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK},
      {"RecPlain", 1, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN},
      {"Rec", 2, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK},
      {"RecPlain", 2, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDOWN},
      {"Rec", 3, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK},
      {"RecPlain", 3, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDOWN},
  };
  for (const auto& c : cases) {
    HWND h = CreateWindowEx(0, c.cls, "", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                            nullptr);
    ASSERT_TRUE(h);
    SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(buttonProc));
    g_buttons.clear();
    // Three quick clicks: the second is a double click only for CS_DBLCLKS
    // classes, and a double click never chains into the third.
    for (int i = 0; i < 3; ++i) {
      injectMouse(nullptr, {40, 40}, c.button, true);
      injectMouse(nullptr, {40, 40}, c.button, false);
    }
    EXPECT_EQ(g_buttons, (std::vector<UINT>{c.down, c.up, c.dbl, c.up, c.down, c.up}))
        << c.cls << " button " << c.button;
    DestroyWindow(h);
    clock.advance(1000);
  }
}

TEST_F(Core, MouseHookSeesClicksAndMaySwallowThem) {
  HWND top = make("top", WS_VISIBLE, nullptr, 0, {0, 0, 100, 100});
  SetWindowLongPtr(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mouseProc));
  g_hooked.clear();
  g_hook = SetWindowsHookEx(WH_MOUSE, mouseHook, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(g_hook);
  g_trace.clear();
  g_swallow = true;
  injectMouse(nullptr, {10, 10}, 1, true);
  EXPECT_EQ(g_hooked, (Trace{"top:LBUTTONDOWN"}));
  EXPECT_TRUE(g_trace.empty());
  g_swallow = false;
  injectMouse(nullptr, {10, 10}, 1, false);
  EXPECT_EQ(g_trace, (Trace{"top:LBUTTONUP"}));
  EXPECT_TRUE(UnhookWindowsHookEx(g_hook));
  EXPECT_FALSE(UnhookWindowsHookEx(g_hook));
  g_hooked.clear();
  injectMouse(nullptr, {10, 10}, 1, true);
  EXPECT_TRUE(g_hooked.empty());
}

TEST_F(Core, KeysWithAltBecomeSystemKeys) {
  HWND h = make("k");
  SetFocus(h);
  g_trace.clear();
  injectKey('X', true, true);
  injectChar(U'\u00E9');
  EXPECT_EQ(g_trace, (Trace{"k:SYSKEYDOWN", "k:CHAR"}));
}


std::vector<std::pair<int, int>> g_scrolls;  // code, position
HWND g_scrollFrom = nullptr;
LRESULT scrollParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_VSCROLL) {
    g_scrolls.push_back({LOWORD(w), static_cast<short>(HIWORD(w))});
    g_scrollFrom = reinterpret_cast<HWND>(l);
  }
  return DefWindowProc(h, m, w, l);
}

TEST_F(Core, ScrollBarControlClampsAndReportsToItsParent) {
  HWND top = make("top", WS_VISIBLE, nullptr, 0, {0, 0, 100, 100});
  SetWindowLongPtr(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(scrollParentProc));
  HWND sb = CreateWindowEx(0, "ScrollBar", "", WS_CHILD | WS_VISIBLE | SBS_VERT, 0, 0, 16, 100,
                           top, reinterpret_cast<HMENU>(3), nullptr, nullptr);
  ASSERT_TRUE(sb);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 200;
  EXPECT_EQ(SetScrollInfo(sb, SB_CTL, &si, TRUE), 90);  // the last page starts at 90
  SetScrollPos(sb, SB_CTL, 0, TRUE);
  g_scrolls.clear();
  // The down arrow repeats while held: first at 400 ms, then every 50 ms.
  injectMouse(nullptr, {8, 95}, 1, true);
  clock.advance(400);
  pumpMessages();
  clock.advance(50);
  pumpMessages();
  injectMouse(nullptr, {8, 95}, 1, false);
  using Codes = std::vector<std::pair<int, int>>;
  EXPECT_EQ(g_scrolls, (Codes{{SB_LINEDOWN, 0}, {SB_LINEDOWN, 0}, {SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0}}));
  EXPECT_EQ(g_scrollFrom, sb);
  EXPECT_EQ(GetCapture(), nullptr);
  // Dragging the thumb tracks positions and ends with the final one; the
  // position itself is the owner's to set.
  g_scrolls.clear();
  injectMouse(nullptr, {8, 18}, 1, true);
  injectMouse(nullptr, {8, 48}, 0, false);
  injectMouse(nullptr, {8, 48}, 1, false);
  EXPECT_EQ(g_scrolls, (Codes{{SB_THUMBTRACK, 45}, {SB_THUMBPOSITION, 45}, {SB_ENDSCROLL, 0}}));
  EXPECT_EQ(GetScrollPos(sb, SB_CTL), 0);
  // A click in the track below the thumb pages down.
  g_scrolls.clear();
  injectMouse(nullptr, {8, 60}, 1, true);
  injectMouse(nullptr, {8, 60}, 1, false);
  EXPECT_EQ(g_scrolls, (Codes{{SB_PAGEDOWN, 0}, {SB_ENDSCROLL, 0}}));
}

TEST(MulDivTest, RoundsHalfAwayFromZero) {
  struct Case { int a, b, c, want; } cases[] = {
      {10, 3, 4, 8},     // 7.5 -> 8
      {-10, 3, 4, -8},   // -7.5 -> -8
      {10, -3, -4, 8},
      {7, 96, 72, 9},    // 9.33 -> 9
      {1, 1, 0, -1},     // division by zero
      {0x7FFFFFFF, 2, 1, -1},  // overflow
      {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF},
  };
  for (const auto& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST_F(Core, SystemColourReferencesTranslate) {
  EXPECT_EQ(TranslateColor(0x8000000D), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(TranslateColor(RGB(1, 2, 3)), RGB(1, 2, 3));
  int idx = COLOR_HIGHLIGHT;
  COLORREF red = RGB(255, 0, 0);
  SetSysColors(1, &idx, &red);
  EXPECT_EQ(TranslateColor(0x8000000D), red);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
}

TEST_F(Core, GetDCFailureHookAndDeviceContextCount) {
  HWND h = make("d");
  test::failGetDC(1);
  EXPECT_EQ(GetDC(h), nullptr);
  HDC dc = GetDC(h);
  ASSERT_TRUE(dc);
  TEXTMETRIC tm;
  EXPECT_TRUE(GetTextMetrics(dc, &tm));  // fixed metrics without fonts
  EXPECT_GT(tm.tmHeight, 0);
  EXPECT_EQ(ReleaseDC(h, dc), 1);
  EXPECT_EQ(test::liveDCCount(), 0);
}

TEST(OneRegistry, ClassRegisteredByALibraryAtLoadIsFoundByTheProgram) {
  test::reset();
  void* lib = dlopen(TV_WIN_CLASSLIB, RTLD_NOW);
  ASSERT_TRUE(lib) << dlerror();
  HWND h = CreateWindowEx(0, "LibClass", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(h);
  EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0x1234);
  DestroyWindow(h);
}

}  // namespace
