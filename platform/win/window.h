#pragma once
// The window and message core: window classes by name, windows with their
// longs, text, geometry and non-client area, sent and posted messages,
// timers, focus, capture, a mouse hook and global memory. It owns no
// display: a backend (the Qt one, or none in tests) is told about changes
// and feeds input back through the inject functions below. Everything runs
// on the UI thread; only PostMessage may be called from other threads.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/win_types.h"

namespace plat::win {

// Classes.
ATOM RegisterClass(const WNDCLASS* wc);
BOOL UnregisterClass(const char* className, HINSTANCE hInstance);
BOOL GetClassInfo(HINSTANCE hInstance, const char* className, WNDCLASS* out);
int GetClassName(HWND hwnd, char* buffer, int maxCount);
DWORD GetClassLong(HWND hwnd, int index);
ULONG_PTR GetClassLongPtr(HWND hwnd, int index);
ULONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value);

// Windows.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                    HINSTANCE hInstance, void* param);
inline HWND CreateWindow(const char* cls, const char* name, DWORD style, int x, int y, int w,
                         int h, HWND parent, HMENU menu, HINSTANCE inst, void* param) {
  return CreateWindowEx(0, cls, name, style, x, y, w, h, parent, menu, inst, param);
}
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetParent(HWND hwnd);
HWND SetParent(HWND hwnd, HWND newParent);
HWND GetAncestorTop(HWND hwnd);  // the top-level window that holds hwnd
HWND GetDlgItem(HWND parent, int id);
int GetDlgCtrlID(HWND hwnd);
constexpr UINT GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3,
               GW_OWNER = 4, GW_CHILD = 5;
HWND GetWindow(HWND hwnd, UINT cmd);

LONG GetWindowLong(HWND hwnd, int index);
LONG SetWindowLong(HWND hwnd, int index, LONG value);
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value);
WORD GetWindowWord(HWND hwnd, int index);
WORD SetWindowWord(HWND hwnd, int index, WORD value);

BOOL SetWindowText(HWND hwnd, const char* text);
int GetWindowText(HWND hwnd, char* buffer, int maxCount);
int GetWindowTextLength(HWND hwnd);

// Messages.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
constexpr UINT PM_NOREMOVE = 0, PM_REMOVE = 1;
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
LRESULT DispatchMessage(const MSG* msg);
BOOL TranslateMessage(const MSG* msg);  // characters come from the backend; nothing to do
void PostQuitMessage(int exitCode);
DWORD GetMessageTime();
DWORD GetTickCount();
BOOL InSendMessage();

// Runs everything that is due: posted messages in order, due timers, then
// WM_NCPAINT and WM_PAINT for windows that need them. Returns the number of
// messages delivered. The Qt backend calls it from the event loop; tests
// call it directly.
int pumpMessages();

// Timers.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Visibility, enabling and geometry. Window rectangles of children are in
// the parent's client coordinates; those of top-level windows in screen
// coordinates.
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL ClientToScreen(HWND hwnd, POINT* pt);
BOOL ScreenToClient(HWND hwnd, POINT* pt);
int MapWindowPoints(HWND from, HWND to, POINT* pts, UINT count);
HWND WindowFromPoint(POINT screenPt);
HWND ChildWindowFromPoint(HWND parent, POINT clientPt);
BOOL BringWindowToTop(HWND hwnd);

// Painting bookkeeping (drawing itself is in gdi.h).
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL UpdateWindow(HWND hwnd);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
constexpr UINT RDW_INVALIDATE = 0x1, RDW_INTERNALPAINT = 0x2, RDW_ERASE = 0x4,
               RDW_VALIDATE = 0x8, RDW_FRAME = 0x400, RDW_NOFRAME = 0x800,
               RDW_UPDATENOW = 0x100, RDW_ERASENOW = 0x200, RDW_ALLCHILDREN = 0x80,
               RDW_NOCHILDREN = 0x40;
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags);

// Focus, activation and capture.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
short GetKeyState(int vk);
short GetAsyncKeyState(int vk);
BOOL GetCursorPos(POINT* pt);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
constexpr int IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_WAIT = 32514, IDC_CROSS = 32515,
              IDC_SIZEWE = 32644, IDC_SIZENS = 32645, IDC_HAND = 32649;
HCURSOR LoadCursor(HINSTANCE hInstance, const char* name);  // system cursors by IDC_ id
// A cursor drawn by the program: two 1-bit planes of width x height pixels,
// rows padded to 16 bits, most significant bit first. AND 1 / XOR 0 is
// transparent, AND 0 / XOR 0 black, AND 0 / XOR 1 white (AND 1 / XOR 1,
// the inverted screen, shows black).
HCURSOR CreateCursor(HINSTANCE hInstance, int xHotSpot, int yHotSpot, int width, int height, const void* andPlane,
                     const void* xorPlane);
BOOL DestroyCursor(HCURSOR cursor);  // system cursors are not destroyed
UINT GetDoubleClickTime();
void MessageBeep(UINT type);

// Hooks (the mouse hook of the calling thread).
HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE hmod, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
DWORD GetCurrentThreadId();

// Moveable, zero-fillable global memory.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, std::size_t bytes, UINT flags);
void* GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
std::size_t GlobalSize(HGLOBAL mem);
UINT GlobalFlags(HGLOBAL mem);
HGLOBAL GlobalFree(HGLOBAL mem);  // nullptr on success, as the platform does

DWORD GetLastError();
void SetLastError(DWORD code);

// Rectangle helpers.
BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* r);
BOOL CopyRect(RECT* dst, const RECT* src);
BOOL IsRectEmpty(const RECT* r);
BOOL PtInRect(const RECT* r, POINT pt);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL InflateRect(RECT* r, int dx, int dy);
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b);
BOOL EqualRect(const RECT* a, const RECT* b);
// a * b / c with 64-bit intermediate, rounded half away from zero; -1 when
// c is 0 or the result does not fit.
int MulDiv(int a, int b, int c);

// System metrics and colours. The screen size and DPI are read once, when
// the first window is created or the first metric is asked for, not at load.
int GetSystemMetrics(int index);
DWORD GetSysColor(int index);
BOOL SetSysColors(int count, const int* indices, const COLORREF* values);
// A colour reference 0x800000nn becomes system colour nn; others pass.
COLORREF TranslateColor(COLORREF color);
int screenDpi();

// The backend: told about windows so it can show them, and asked to run
// pumpMessages() soon when work is queued. Installed by the Qt backend at the
// first window when a QGuiApplication exists.
class Backend {
 public:
  virtual ~Backend() = default;
  // Work is queued: call pumpMessages() soon. dueInMs >= 0: a timer is due
  // then (from any thread for posted messages).
  virtual void wake(std::int64_t dueInMs) = 0;
  virtual void windowCreated(HWND) {}
  virtual void windowDestroyed(HWND) {}
  virtual void windowChanged(HWND) {}  // shown, hidden, moved or resized
  virtual void imageChanged(HWND) {}   // something was painted into the window's image
  virtual void focusChanged(HWND /*oldFocus*/, HWND /*newFocus*/) {}
  virtual void captureChanged(HWND /*newCapture*/) {}
  virtual void cursorChanged(HCURSOR /*cursor*/) {}  // SetCursor chose another cursor
};
void setBackend(Backend* backend);
Backend* backend();

// Input from a backend (or a test). Mouse: a point in screen coordinates;
// the target is the capture window or the window under the point (or the
// given window). Runs the mouse hook, WM_NCHITTEST, WM_SETCURSOR, mouse
// activation and the double-click rule of CS_DBLCLKS classes.
// button: 0 move, 1 left, 2 right, 3 middle; down true for press.
void injectMouse(HWND target, POINT screenPt, int button, bool down);
// A wheel turn (delta in WHEEL_DELTA units, positive away from the user)
// goes as WM_MOUSEWHEEL with screen coordinates to the focus window when it
// is in the target's tree, else to the window under the point; 0 sends
// nothing.
void injectWheel(HWND target, POINT screenPt, int delta);
// Keys go to the focus window; alt (or VK_MENU down in the key state)
// means Alt is held. Alt makes WM_SYSKEYDOWN/UP as the platform does (not
// with Ctrl; F10 always; Alt released after another key is WM_KEYUP).
// Returns the message sent, 0 without a focus window.
UINT injectKey(int vk, bool down, bool alt = false);
// A character (a Unicode code point) to the focus window: WM_CHAR, or
// WM_SYSCHAR when it comes from a system key (sysKey).
void injectChar(char32_t codePoint, bool sysKey = false);
void setKeyState(int vk, bool down);

// The clock behind timers, GetTickCount and double clicks.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t nowMs() = 0;
};
void setClock(Clock* clock);  // nullptr restores the steady clock

namespace test {
// A clock that moves only when told.
class ManualClock : public Clock {
 public:
  std::int64_t nowMs() override { return now_; }
  void advance(std::int64_t ms) { now_ += ms; }
 private:
  std::int64_t now_ = 1000;
};
// The next `count` GetDC/GetWindowDC/BeginPaint calls fail.
void failGetDC(int count);
// The next `count` GlobalAlloc/GlobalReAlloc calls fail.
void failGlobalAlloc(int count);
// Screen size and DPI, as if read from the display.
void setScreen(int width, int height, int dpi);
// Destroys every window, class, timer, hook and queued message and forgets
// the screen, so a test starts from nothing.
void reset();
int liveWindowCount();
// Whether the screen size and DPI have been read (or set) since reset().
bool screenWasRead();
int liveGlobalCount();
}  // namespace test

// Helpers for the GDI and backend parts.
namespace detail {
struct WindowSurface;  // the backing image of a window (gdi.cpp)
std::shared_ptr<WindowSurface>* surfaceSlot(HWND hwnd);
// Window rectangle and client rectangle, in screen coordinates.
bool windowScreenRect(HWND hwnd, RECT* window, RECT* client);
// Takes the pending update rectangle (client coordinates) and erase flag.
bool takeUpdate(HWND hwnd, RECT* update, bool* erase);
void markPainted(HWND hwnd);  // tells the backend the window's image changed
bool takeGetDCFailure();
void forEachChild(HWND parent, const std::function<void(HWND)>& fn);  // bottom to top
std::vector<HWND> topLevelWindows();  // bottom to top
bool hasClassStyle(HWND hwnd, UINT bits);
HBRUSH classBackground(HWND hwnd);
HCURSOR classCursor(HWND hwnd);
void readScreenOnce();
// Defined by the Qt backend: reads the primary screen when a QGuiApplication
// exists (false otherwise), and installs the backend on first use.
bool queryQtScreen(int* width, int* height, int* dpi);
void installQtBackendIfPossible();
// Defined by gdi.cpp: the frame drawn by DefWindowProc's WM_NCPAINT.
void drawDefaultFrame(HWND hwnd);
// The picture of a cursor made by CreateCursor, or null (system cursors).
struct CursorImage {
  int width = 0, height = 0, xHot = 0, yHot = 0;
  std::vector<std::uint8_t> andPlane, xorPlane;  // rows padded to 16 bits
};
const CursorImage* cursorImage(HCURSOR cursor);
}  // namespace detail

}  // namespace plat::win
