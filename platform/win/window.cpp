// The window and message core. See window.h.

#include "platform/win/window.h"

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/win/gdi.h"
#include "platform/win/handle_table.h"
#include "platform/win/edit.h"
#include "platform/win/scrollbar.h"

namespace plat::win {

namespace {

struct WindowClass {
  std::string name;  // as registered
  UINT style = 0;
  WNDPROC proc = nullptr;
  int clsExtra = 0, wndExtra = 0;
  HINSTANCE inst = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  std::vector<std::uint8_t> extra;
  ATOM atom = 0;
  int windows = 0;
  bool system = false;
};

struct Window {
  HWND self = nullptr;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0, exStyle = 0;
  HWND parent = nullptr;  // WS_CHILD windows only
  HWND owner = nullptr;   // top-level windows created with a parent
  std::vector<HWND> children;  // bottom to top
  LONG_PTR id = 0;
  HINSTANCE inst = nullptr;
  LONG_PTR userData = 0;
  std::vector<std::uint8_t> extra;
  std::string text;
  RECT rect;    // parent client coordinates (children) or screen coordinates
  RECT client;  // client area in window coordinates
  bool destroying = false;
  bool hasUpdate = false, erasePending = false, ncPending = true;
  RECT update;  // client coordinates
  std::shared_ptr<detail::WindowSurface> surface;
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  std::int64_t due;
  TIMERPROC proc;
  std::uint64_t seq;
};

struct Hook {
  HOOKPROC proc;
};

struct FreeBytes {
  void operator()(std::uint8_t* p) const { std::free(p); }
};

struct GlobalBlock {
  std::unique_ptr<std::uint8_t, FreeBytes> data;
  std::size_t size = 0;
  UINT flags = 0;
  int locks = 0;
};

class SteadyClock : public Clock {
 public:
  std::int64_t nowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

struct Click {
  HWND hwnd = nullptr;
  int button = 0;
  std::int64_t time = 0;
  POINT pt;
};

const COLORREF kClassicColors[COLOR_COUNT] = {
    RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128),
    RGB(212, 208, 200), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(212, 208, 200), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240),
    RGB(192, 192, 192), RGB(49, 106, 197),  RGB(236, 233, 216)};

constexpr ATOM kFirstClassAtom = 0xC000;
constexpr std::size_t kClassAtomCount = 0x10000 - kFirstClassAtom;

struct State {
  detail::HandleTable<Window> windows;
  std::vector<HWND> topLevels;  // bottom to top
  std::vector<std::shared_ptr<WindowClass>> classes;
  // Class atoms come from 0xC000..0xFFFF, as on Windows. A number is given
  // again once its class is unregistered, the search going on from the last
  // one given, so that a freed number is not handed out again at once.
  std::bitset<kClassAtomCount> atomsInUse;
  std::size_t nextAtom = 0;
  std::mutex queueMutex;
  std::deque<MSG> queue;
  bool quitPosted = false;
  std::vector<Timer> timers;
  std::uint64_t timerSeq = 0;
  UINT_PTR nextThreadTimerId = 0x7FF0;
  detail::HandleTable<Hook> hooks;
  std::vector<HHOOK> hookChain;  // newest first
  detail::HandleTable<GlobalBlock> globals;
  HWND focus = nullptr, capture = nullptr, active = nullptr;
  SteadyClock steady;
  Clock* clock = &steady;
  Backend* backend = nullptr;
  bool backendTried = false;
  int failDC = 0, failGlobal = 0;
  bool screenRead = false;
  int screenW = 1024, screenH = 768, dpi = 96;
  BYTE keys[256] = {};
  POINT cursorPos;
  HCURSOR cursor = nullptr;
  Click lastClick;
  bool altAlone = false;  // Alt is down and no other key came since
  DWORD messageTime = 0;
  int sendDepth = 0;
  COLORREF sysColors[COLOR_COUNT];
  std::thread::id uiThread = std::this_thread::get_id();
  State() { std::copy(std::begin(kClassicColors), std::end(kClassicColors), sysColors); }
};

// Never destroyed: windows may outlive static destructors of other modules.
State& S() {
  static State* s = new State;
  return *s;
}

thread_local DWORD t_lastError = 0;

std::uintptr_t H(HWND h) { return reinterpret_cast<std::uintptr_t>(h); }
HWND toHwnd(std::uintptr_t v) { return reinterpret_cast<HWND>(v); }

Window* W(HWND h) {
  if (!h) return nullptr;
  return S().windows.raw(H(h));
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool isAtom(const char* name) { return reinterpret_cast<std::uintptr_t>(name) < 0x10000; }

std::shared_ptr<WindowClass> findClass(const char* name, HINSTANCE inst) {
  auto& st = S();
  if (!name) return nullptr;
  if (isAtom(name)) {
    ATOM a = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name));
    for (auto& c : st.classes)
      if (c->atom == a) return c;
    return nullptr;
  }
  std::string key = lower(name);
  std::shared_ptr<WindowClass> global, sys;
  for (auto& c : st.classes) {
    if (lower(c->name) != key) continue;
    if (!c->system && c->inst == inst && !(c->style & CS_GLOBALCLASS)) return c;
    if (c->system) sys = c;
    else if ((c->style & CS_GLOBALCLASS) && !global) global = c;
    else if (c->inst == inst && !global) global = c;
  }
  return global ? global : sys;
}

// Text longer than the buffer is cut at a character boundary, so a cut never
// leaves half a UTF-8 sequence.
std::size_t utf8Cut(const std::string& s, std::size_t maxBytes) {
  if (s.size() <= maxBytes) return s.size();
  std::size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

std::int64_t now() { return S().clock->nowMs(); }

void wakeBackend(std::int64_t due) {
  if (S().backend) S().backend->wake(due);
}

POINT clientOrigin(HWND h);

POINT windowOrigin(HWND h) {
  Window* w = W(h);
  if (!w) return {};
  if (w->parent) {
    POINT p = clientOrigin(w->parent);
    return {p.x + w->rect.left, p.y + w->rect.top};
  }
  return {w->rect.left, w->rect.top};
}

POINT clientOrigin(HWND h) {
  Window* w = W(h);
  if (!w) return {};
  POINT p = windowOrigin(h);
  return {p.x + w->client.left, p.y + w->client.top};
}

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

bool isDescendantOrSelf(HWND ancestor, HWND h) {
  for (Window* w = W(h); w; w = W(w->parent))
    if (w->self == ancestor) return true;
  return false;
}

void unlink(Window* w) {
  auto& st = S();
  if (Window* p = W(w->parent)) {
    auto& c = p->children;
    c.erase(std::remove(c.begin(), c.end(), w->self), c.end());
  } else {
    auto& t = st.topLevels;
    t.erase(std::remove(t.begin(), t.end(), w->self), t.end());
  }
}

// Removes a window's record after WM_NCDESTROY: its timers, queued
// messages, slot and class count go; its handle turns stale.
void freeWindow(HWND h) {
  auto& st = S();
  auto keep = st.windows.get(H(h));
  if (!keep) return;
  st.timers.erase(std::remove_if(st.timers.begin(), st.timers.end(),
                                 [h](const Timer& t) { return t.hwnd == h; }),
                  st.timers.end());
  {
    std::lock_guard<std::mutex> lock(st.queueMutex);
    st.queue.erase(std::remove_if(st.queue.begin(), st.queue.end(),
                                  [h](const MSG& m) { return m.hwnd == h; }),
                   st.queue.end());
  }
  if (st.focus == h) st.focus = nullptr;
  if (st.capture == h) st.capture = nullptr;
  if (st.active == h) st.active = nullptr;
  if (st.lastClick.hwnd == h) st.lastClick = {};
  unlink(keep.get());
  keep->cls->windows--;
  if (st.backend) st.backend->windowDestroyed(h);
  st.windows.remove(H(h));
}

void sendDestroy(HWND h) {
  SendMessage(h, WM_DESTROY, 0, 0);
  Window* w = W(h);
  if (!w) return;
  std::vector<HWND> kids = w->children;
  for (HWND c : kids)
    if (W(c)) sendDestroy(c);
}

void sendNcDestroy(HWND h) {
  Window* w = W(h);
  if (!w) return;
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) sendNcDestroy(c);
  SendMessage(h, WM_NCDESTROY, 0, 0);
  freeWindow(h);
}

void markDestroying(HWND h) {
  Window* w = W(h);
  if (!w) return;
  w->destroying = true;
  for (HWND c : w->children) markDestroying(c);
}

// Frame thickness that DefWindowProc's WM_NCCALCSIZE takes off each side.
void frameInsets(DWORD style, DWORD exStyle, RECT* in) {
  int b = 0;
  if (style & WS_THICKFRAME) b = GetSystemMetrics(SM_CXFRAME);
  else if (style & WS_DLGFRAME) b = GetSystemMetrics(SM_CXDLGFRAME);
  else if (style & WS_BORDER) b = GetSystemMetrics(SM_CXBORDER);
  if (exStyle & WS_EX_CLIENTEDGE) b += GetSystemMetrics(SM_CXEDGE);
  if (exStyle & WS_EX_STATICEDGE) b += GetSystemMetrics(SM_CXBORDER);
  in->left = in->top = in->right = in->bottom = b;
  if ((style & WS_CAPTION) == WS_CAPTION) in->top += GetSystemMetrics(SM_CYCAPTION);
  if (style & WS_VSCROLL) in->right += GetSystemMetrics(SM_CXVSCROLL);
  if (style & WS_HSCROLL) in->bottom += GetSystemMetrics(SM_CYHSCROLL);
}

void defaultCalcSize(HWND h, RECT* r) {
  Window* w = W(h);
  if (!w) return;
  RECT in;
  frameInsets(w->style, w->exStyle, &in);
  r->left += in.left;
  r->top += in.top;
  r->right -= in.right;
  r->bottom -= in.bottom;
  if (r->right < r->left) r->right = r->left;
  if (r->bottom < r->top) r->bottom = r->top;
}

// Asks the window for its client area within `rect` (parent coordinates)
// and stores it.
void recalcClient(HWND h, const RECT& newRect, const RECT& oldRect, WINDOWPOS* pos, bool initial) {
  RECT r = newRect;
  if (initial) {
    SendMessage(h, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&r));
  } else {
    Window* w = W(h);
    NCCALCSIZE_PARAMS p;
    p.rgrc[0] = newRect;
    p.rgrc[1] = oldRect;
    p.rgrc[2] = w ? RECT{oldRect.left + w->client.left, oldRect.top + w->client.top,
                         oldRect.left + w->client.right, oldRect.top + w->client.bottom}
                  : oldRect;
    p.lppos = pos;
    SendMessage(h, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&p));
    r = p.rgrc[0];
  }
  Window* w = W(h);
  if (!w) return;
  w->client = {r.left - newRect.left, r.top - newRect.top, r.right - newRect.left,
               r.bottom - newRect.top};
  if (w->client.right < w->client.left) w->client.right = w->client.left;
  if (w->client.bottom < w->client.top) w->client.bottom = w->client.top;
}

void sendSizeAndMove(HWND h) {
  Window* w = W(h);
  if (!w) return;
  SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width(w->client), height(w->client)));
  w = W(h);
  if (!w) return;
  SendMessage(h, WM_MOVE, 0,
              MAKELPARAM(w->rect.left + w->client.left, w->rect.top + w->client.top));
}

void invalidateTree(HWND h) {
  Window* w = W(h);
  if (!w) return;
  w->ncPending = true;
  InvalidateRect(h, nullptr, TRUE);
  for (HWND c : w->children) invalidateTree(c);
}

bool treeHasFocus(HWND h) { return S().focus && isDescendantOrSelf(h, S().focus); }

HWND topOf(HWND h) {
  Window* w = W(h);
  while (w && w->parent) w = W(w->parent);
  return w ? w->self : nullptr;
}

LRESULT runMouseHooks(UINT msg, MOUSEHOOKSTRUCT* mh) {
  auto& st = S();
  if (st.hookChain.empty()) return 0;
  HHOOK first = st.hookChain.front();
  Hook* hk = st.hooks.raw(reinterpret_cast<std::uintptr_t>(first));
  if (!hk) return 0;
  return hk->proc(HC_ACTION, msg, reinterpret_cast<LPARAM>(mh));
}

HWND deepestAt(HWND h, POINT screen) {
  Window* w = W(h);
  if (!w) return nullptr;
  POINT co = clientOrigin(h);
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
    Window* c = W(*it);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    RECT r = c->rect;
    OffsetRect(&r, co.x, co.y);
    if (!PtInRect(&r, screen)) continue;
    if (c->style & WS_DISABLED) return h;
    return deepestAt(c->self, screen);
  }
  return h;
}

WPARAM mouseKeyFlags() {
  WPARAM k = 0;
  if (GetKeyState(VK_LBUTTON) < 0) k |= MK_LBUTTON;
  if (GetKeyState(VK_RBUTTON) < 0) k |= MK_RBUTTON;
  if (GetKeyState(VK_MBUTTON) < 0) k |= MK_MBUTTON;
  if (GetKeyState(VK_SHIFT) < 0) k |= MK_SHIFT;
  if (GetKeyState(VK_CONTROL) < 0) k |= MK_CONTROL;
  return k;
}

// A free class atom, or 0 when all 16,384 are taken.
ATOM takeClassAtom() {
  auto& st = S();
  for (std::size_t tried = 0; tried < kClassAtomCount; ++tried) {
    const std::size_t i = (st.nextAtom + tried) % kClassAtomCount;
    if (st.atomsInUse.test(i)) continue;
    st.atomsInUse.set(i);
    st.nextAtom = (i + 1) % kClassAtomCount;
    return static_cast<ATOM>(kFirstClassAtom + i);
  }
  return 0;
}

void releaseClassAtom(ATOM atom) {
  if (atom >= kFirstClassAtom) S().atomsInUse.reset(atom - kFirstClassAtom);
}

void ensureSystemClasses() {
  auto& st = S();
  static bool done = false;
  if (done) return;
  done = true;
  auto c = std::make_shared<WindowClass>();
  c->name = "ScrollBar";
  c->style = CS_DBLCLKS | CS_GLOBALCLASS;
  c->proc = detail::scrollBarProc;
  c->wndExtra = sizeof(void*);
  c->system = true;
  c->atom = takeClassAtom();
  st.classes.push_back(c);
  auto e = std::make_shared<WindowClass>();
  e->name = "Edit";
  e->style = CS_DBLCLKS | CS_GLOBALCLASS;
  e->proc = detail::editProc;
  e->wndExtra = sizeof(void*);
  e->system = true;
  e->atom = takeClassAtom();
  st.classes.push_back(e);
}

}  // namespace

// ---------------------------------------------------------------- errors

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

// ---------------------------------------------------------------- classes

ATOM RegisterClass(const WNDCLASS* wc) {
  auto& st = S();
  ensureSystemClasses();
  if (!wc || !wc->lpszClassName || isAtom(wc->lpszClassName) || !wc->lpfnWndProc ||
      wc->cbClsExtra < 0 || wc->cbWndExtra < 0 || wc->cbClsExtra > 40000 ||
      wc->cbWndExtra > 40000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string key = lower(wc->lpszClassName);
  for (auto& c : st.classes) {
    if (c->system || lower(c->name) != key) continue;
    bool bothGlobal = (c->style & CS_GLOBALCLASS) && (wc->style & CS_GLOBALCLASS);
    if (c->inst == wc->hInstance || bothGlobal) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  }
  const ATOM atom = takeClassAtom();
  if (atom == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  auto c = std::make_shared<WindowClass>();
  c->name = wc->lpszClassName;
  c->style = wc->style;
  c->proc = wc->lpfnWndProc;
  c->clsExtra = wc->cbClsExtra;
  c->wndExtra = wc->cbWndExtra;
  c->inst = wc->hInstance;
  c->cursor = wc->hCursor;
  c->background = wc->hbrBackground;
  c->extra.assign(static_cast<std::size_t>(wc->cbClsExtra), 0);
  c->atom = atom;
  st.classes.push_back(c);
  return c->atom;
}

BOOL UnregisterClass(const char* className, HINSTANCE hInstance) {
  auto& st = S();
  if (!className) return FALSE;
  for (auto it = st.classes.begin(); it != st.classes.end(); ++it) {
    auto& c = *it;
    bool match = isAtom(className)
                     ? c->atom == static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(className))
                     : lower(c->name) == lower(className);
    if (!match || c->system || c->inst != hInstance) continue;
    if (c->windows > 0) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
    releaseClassAtom(c->atom);
    st.classes.erase(it);
    return TRUE;
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return FALSE;
}

BOOL GetClassInfo(HINSTANCE hInstance, const char* className, WNDCLASS* out) {
  ensureSystemClasses();
  auto c = findClass(className, hInstance);
  if (!c || !out) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  out->style = c->style;
  out->lpfnWndProc = c->proc;
  out->cbClsExtra = c->clsExtra;
  out->cbWndExtra = c->wndExtra;
  out->hInstance = c->inst;
  out->hIcon = nullptr;
  out->hCursor = c->cursor;
  out->hbrBackground = c->background;
  out->lpszMenuName = nullptr;
  out->lpszClassName = className;
  return TRUE;
}

int GetClassName(HWND hwnd, char* buffer, int maxCount) {
  Window* w = W(hwnd);
  if (!w || !buffer || maxCount <= 0) return 0;
  std::size_t n = utf8Cut(w->cls->name, static_cast<std::size_t>(maxCount - 1));
  std::memcpy(buffer, w->cls->name.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

ULONG_PTR GetClassLongPtr(HWND hwnd, int index) {
  Window* w = W(hwnd);
  if (!w) return 0;
  WindowClass& c = *w->cls;
  switch (index) {
    case GCL_STYLE: return c.style;
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(c.proc);
    case GCL_CBWNDEXTRA: return static_cast<ULONG_PTR>(c.wndExtra);
    case GCL_CBCLSEXTRA: return static_cast<ULONG_PTR>(c.clsExtra);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(c.cursor);
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(c.background);
    default: break;
  }
  if (index >= 0 && static_cast<std::size_t>(index) + sizeof(ULONG_PTR) <= c.extra.size()) {
    ULONG_PTR v;
    std::memcpy(&v, c.extra.data() + index, sizeof v);
    return v;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

DWORD GetClassLong(HWND hwnd, int index) {
  Window* w = W(hwnd);
  if (!w) return 0;
  if (index >= 0) {
    if (static_cast<std::size_t>(index) + 4 > w->cls->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    DWORD v;
    std::memcpy(&v, w->cls->extra.data() + index, 4);
    return v;
  }
  return static_cast<DWORD>(GetClassLongPtr(hwnd, index));
}

ULONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value) {
  Window* w = W(hwnd);
  if (!w) return 0;
  WindowClass& c = *w->cls;
  ULONG_PTR old = GetClassLongPtr(hwnd, index);
  switch (index) {
    case GCL_STYLE: c.style = static_cast<UINT>(value); return old;
    case GCLP_WNDPROC: c.proc = reinterpret_cast<WNDPROC>(value); return old;
    case GCLP_HCURSOR: c.cursor = reinterpret_cast<HCURSOR>(value); return old;
    case GCLP_HBRBACKGROUND: c.background = reinterpret_cast<HBRUSH>(value); return old;
    default: break;
  }
  if (index >= 0 && static_cast<std::size_t>(index) + sizeof(LONG_PTR) <= c.extra.size()) {
    std::memcpy(c.extra.data() + index, &value, sizeof value);
    return old;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

// ---------------------------------------------------------------- windows

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int cx, int cy, HWND parent, HMENU menuOrId,
                    HINSTANCE hInstance, void* param) {
  auto& st = S();
  ensureSystemClasses();
  detail::readScreenOnce();
  if (!st.backendTried) {
    st.backendTried = true;
    detail::installQtBackendIfPossible();
  }
  auto cls = findClass(className, hInstance);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  if (parent && !W(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if ((style & WS_CHILD) && !parent) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  constexpr int kUseDefault = static_cast<int>(0x80000000u);
  if (x == kUseDefault) x = y = 0;
  if (cx == kUseDefault) { cx = 0; cy = 0; }
  if (cx < 0) cx = 0;
  if (cy < 0) cy = 0;

  auto w = std::make_shared<Window>();
  w->cls = cls;
  w->proc = cls->proc;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->inst = hInstance;
  w->extra.assign(static_cast<std::size_t>(cls->wndExtra), 0);
  w->rect = {x, y, x + cx, y + cy};
  w->client = {0, 0, cx, cy};
  if (style & WS_CHILD) {
    w->parent = parent;
    w->id = reinterpret_cast<LONG_PTR>(menuOrId);
  } else if (parent) {
    w->owner = topOf(parent);
  }
  HWND h = toHwnd(st.windows.add(w));
  w->self = h;
  cls->windows++;
  if (Window* p = W(w->parent)) p->children.push_back(h);
  else st.topLevels.push_back(h);

  CREATESTRUCT cs;
  cs.lpCreateParams = param;
  cs.hInstance = hInstance;
  cs.hMenu = menuOrId;
  cs.hwndParent = parent;
  cs.cx = cx;
  cs.cy = cy;
  cs.x = x;
  cs.y = y;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;

  if (!SendMessage(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    // Refused: children made inside WM_NCCREATE go too, then WM_NCDESTROY.
    if (Window* self = W(h)) {
      markDestroying(h);
      std::vector<HWND> kids = self->children;
      for (HWND c : kids) DestroyWindow(c);
      sendNcDestroy(h);
    }
    return nullptr;
  }
  if (!W(h)) return nullptr;
  recalcClient(h, W(h)->rect, W(h)->rect, nullptr, true);
  if (!W(h)) return nullptr;
  if (SendMessage(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  if (!W(h)) return nullptr;
  sendSizeAndMove(h);
  if (!W(h)) return nullptr;
  if (st.backend) st.backend->windowCreated(h);
  if ((style & WS_CHILD) && !(exStyle & WS_EX_NOPARENTNOTIFY))
    SendMessage(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, static_cast<int>(W(h)->id)),
                reinterpret_cast<LPARAM>(h));
  if (!W(h)) return nullptr;
  if (style & WS_VISIBLE) ShowWindow(h, SW_SHOW);
  return W(h) ? h : nullptr;
}

BOOL DestroyWindow(HWND h) {
  auto& st = S();
  Window* w = W(h);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (w->destroying) return FALSE;
  // Windows owned by this one go first.
  std::vector<HWND> owned;
  for (auto hd : st.windows.handles()) {
    Window* o = st.windows.raw(hd);
    if (o && o->owner == h && !o->destroying) owned.push_back(o->self);
  }
  for (HWND o : owned) DestroyWindow(o);
  w = W(h);
  if (!w || w->destroying) return FALSE;
  if (w->parent && !(w->exStyle & WS_EX_NOPARENTNOTIFY))
    SendMessage(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, static_cast<int>(w->id)),
                reinterpret_cast<LPARAM>(h));
  w = W(h);
  if (!w || w->destroying) return FALSE;
  if (w->style & WS_VISIBLE)
    SetWindowPos(h, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  w = W(h);
  if (!w || w->destroying) return FALSE;
  if (treeHasFocus(h)) {
    HWND parent = w->parent;
    SetFocus(parent && !W(parent)->destroying ? parent : nullptr);
  }
  if (st.capture && isDescendantOrSelf(h, st.capture)) ReleaseCapture();
  if (!W(h)) return TRUE;
  markDestroying(h);
  sendDestroy(h);
  sendNcDestroy(h);
  return TRUE;
}

BOOL IsWindow(HWND h) { return W(h) != nullptr; }

BOOL IsChild(HWND parent, HWND h) {
  Window* w = W(h);
  if (!w || !W(parent)) return FALSE;
  for (Window* p = W(w->parent); p; p = W(p->parent))
    if (p->self == parent) return TRUE;
  return FALSE;
}

HWND GetParent(HWND h) {
  Window* w = W(h);
  if (!w) return nullptr;
  return w->parent ? w->parent : w->owner;
}

HWND SetParent(HWND h, HWND newParent) {
  Window* w = W(h);
  if (!w || (newParent && !W(newParent)) || (newParent && isDescendantOrSelf(h, newParent)))
    return nullptr;
  HWND old = w->parent;
  unlink(w);
  if (newParent) {
    w->parent = newParent;
    w->style = (w->style | WS_CHILD) & ~WS_POPUP;
    W(newParent)->children.push_back(h);
  } else {
    w->parent = nullptr;
    S().topLevels.push_back(h);
  }
  invalidateTree(h);
  if (S().backend) S().backend->windowChanged(h);
  return old;
}

HWND GetAncestorTop(HWND h) { return topOf(h); }

HWND GetDlgItem(HWND parent, int id) {
  Window* w = W(parent);
  if (!w) return nullptr;
  for (HWND c : w->children)
    if (Window* cw = W(c); cw && cw->id == id) return c;
  return nullptr;
}

int GetDlgCtrlID(HWND h) {
  Window* w = W(h);
  return w ? static_cast<int>(w->id) : 0;
}

HWND GetWindow(HWND h, UINT cmd) {
  auto& st = S();
  Window* w = W(h);
  if (!w) return nullptr;
  const std::vector<HWND>& sibs = w->parent ? W(w->parent)->children : st.topLevels;
  auto it = std::find(sibs.begin(), sibs.end(), h);
  // Siblings are kept bottom to top; "next" goes down the z-order.
  switch (cmd) {
    case GW_CHILD: return w->children.empty() ? nullptr : w->children.back();
    case GW_OWNER: return w->owner;
    case GW_HWNDFIRST: return sibs.empty() ? nullptr : sibs.back();
    case GW_HWNDLAST: return sibs.empty() ? nullptr : sibs.front();
    case GW_HWNDNEXT: return (it == sibs.end() || it == sibs.begin()) ? nullptr : *(it - 1);
    case GW_HWNDPREV: return (it == sibs.end() || it + 1 == sibs.end()) ? nullptr : *(it + 1);
    default: return nullptr;
  }
}

LONG_PTR GetWindowLongPtr(HWND h, int index) {
  Window* w = W(h);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->inst);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
    default: break;
  }
  if (index >= 0 && static_cast<std::size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
    LONG_PTR v;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

LONG_PTR SetWindowLongPtr(HWND h, int index, LONG_PTR value) {
  Window* w = W(h);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = GetWindowLongPtr(h, index);
  switch (index) {
    case GWL_STYLE:
    case GWL_EXSTYLE: {
      struct { DWORD oldStyle, newStyle; } ss{static_cast<DWORD>(old), static_cast<DWORD>(value)};
      SendMessage(h, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
      w = W(h);
      if (!w) return 0;
      DWORD v = ss.newStyle;
      if (index == GWL_STYLE) {
        // Visibility changes only through ShowWindow and SetWindowPos.
        w->style = (v & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
      } else {
        w->exStyle = v;
      }
      SendMessage(h, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
      return old;
    }
    case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); return old;
    case GWLP_HINSTANCE: w->inst = reinterpret_cast<HINSTANCE>(value); return old;
    case GWLP_ID: w->id = value; return old;
    case GWLP_USERDATA: w->userData = value; return old;
    case GWLP_HWNDPARENT:
      if (!w->parent) w->owner = reinterpret_cast<HWND>(value);
      return old;
    default: break;
  }
  if (index >= 0 && static_cast<std::size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    SetLastError(ERROR_SUCCESS);
    return old;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

LONG GetWindowLong(HWND h, int index) {
  Window* w = W(h);
  if (w && index >= 0) {
    if (static_cast<std::size_t>(index) + 4 > w->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    LONG v;
    std::memcpy(&v, w->extra.data() + index, 4);
    return v;
  }
  return static_cast<LONG>(GetWindowLongPtr(h, index));
}

LONG SetWindowLong(HWND h, int index, LONG value) {
  Window* w = W(h);
  if (w && index >= 0) {
    if (static_cast<std::size_t>(index) + 4 > w->extra.size()) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    LONG old;
    std::memcpy(&old, w->extra.data() + index, 4);
    std::memcpy(w->extra.data() + index, &value, 4);
    return old;
  }
  if (index == GWL_STYLE || index == GWL_EXSTYLE)  // styles are 32-bit values
    return static_cast<LONG>(SetWindowLongPtr(h, index, static_cast<LONG_PTR>(static_cast<DWORD>(value))));
  return static_cast<LONG>(SetWindowLongPtr(h, index, value));
}

WORD GetWindowWord(HWND h, int index) {
  Window* w = W(h);
  if (!w || index < 0 || static_cast<std::size_t>(index) + 2 > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  WORD v;
  std::memcpy(&v, w->extra.data() + index, 2);
  return v;
}

WORD SetWindowWord(HWND h, int index, WORD value) {
  Window* w = W(h);
  if (!w || index < 0 || static_cast<std::size_t>(index) + 2 > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  WORD old;
  std::memcpy(&old, w->extra.data() + index, 2);
  std::memcpy(w->extra.data() + index, &value, 2);
  return old;
}

BOOL SetWindowText(HWND h, const char* text) {
  if (!W(h)) return FALSE;
  return SendMessage(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

int GetWindowText(HWND h, char* buffer, int maxCount) {
  if (!buffer || maxCount <= 0) return 0;
  buffer[0] = '\0';
  if (!W(h)) return 0;
  return static_cast<int>(
      SendMessage(h, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND h) {
  if (!W(h)) return 0;
  return static_cast<int>(SendMessage(h, WM_GETTEXTLENGTH, 0, 0));
}

// ---------------------------------------------------------------- messages

LRESULT SendMessage(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto keep = S().windows.get(H(h));
  if (!keep) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WNDPROC proc = keep->proc;
  if (!proc) return 0;
  ++S().sendDepth;
  LRESULT r = proc(h, msg, wParam, lParam);
  --S().sendDepth;
  return r;
}

BOOL PostMessage(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto& st = S();
  bool onUi = std::this_thread::get_id() == st.uiThread;
  if (h && onUi && !W(h)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  MSG m;
  m.hwnd = h;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  if (onUi) {  // other threads touch nothing but the queue
    m.pt = st.cursorPos;
    m.time = static_cast<DWORD>(now());
  }
  {
    std::lock_guard<std::mutex> lock(st.queueMutex);
    st.queue.push_back(m);
  }
  wakeBackend(0);
  return TRUE;
}

LRESULT CallWindowProc(WNDPROC proc, HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!proc) return 0;
  return proc(h, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  auto& st = S();
  std::lock_guard<std::mutex> lock(st.queueMutex);
  st.quitPosted = true;
  MSG m;
  m.message = WM_QUIT;
  m.wParam = static_cast<WPARAM>(exitCode);
  st.queue.push_back(m);
}

BOOL PeekMessage(MSG* out, HWND h, UINT fmin, UINT fmax, UINT remove) {
  auto& st = S();
  std::lock_guard<std::mutex> lock(st.queueMutex);
  for (auto it = st.queue.begin(); it != st.queue.end(); ++it) {
    if (h && it->hwnd != h && !IsChild(h, it->hwnd)) continue;
    if ((fmin || fmax) && (it->message < fmin || it->message > fmax)) continue;
    if (out) *out = *it;
    if (remove & PM_REMOVE) st.queue.erase(it);
    return TRUE;
  }
  return FALSE;
}

LRESULT DispatchMessage(const MSG* m) {
  if (!m) return 0;
  auto& st = S();
  st.messageTime = m->time;
  if (m->message == WM_TIMER && m->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(m->lParam);
    proc(m->hwnd, WM_TIMER, m->wParam, static_cast<DWORD>(now()));
    return 0;
  }
  if (!m->hwnd) return 0;
  return SendMessage(m->hwnd, m->message, m->wParam, m->lParam);
}

BOOL TranslateMessage(const MSG*) { return FALSE; }
DWORD GetMessageTime() { return S().messageTime; }
DWORD GetTickCount() { return static_cast<DWORD>(now()); }
BOOL InSendMessage() { return FALSE; }

namespace {

void collectPaintOrder(HWND h, std::vector<HWND>* out) {
  Window* w = W(h);
  if (!w || !(w->style & WS_VISIBLE)) return;
  out->push_back(h);
  for (HWND c : w->children) collectPaintOrder(c, out);
}

// Asks the backend to run the pump again for what is left. A handler may
// open a nested loop (a modal dialog, a message box) and so never return to
// the round that called it; that loop must still run the messages queued
// behind and the timers due later.
void wakeForRemainingWork() {
  auto& st = S();
  bool more;
  {
    std::lock_guard<std::mutex> lock(st.queueMutex);
    more = !st.queue.empty() && st.queue.front().message != WM_QUIT;
  }
  if (more) wakeBackend(0);
  if (!st.timers.empty()) {
    std::int64_t next = st.timers.front().due;
    for (auto& tm : st.timers) next = std::min(next, tm.due);
    wakeBackend(std::max<std::int64_t>(0, next - now()));
  }
}

}  // namespace

int pumpMessages() {
  auto& st = S();
  int delivered = 0;
  std::size_t pending;
  {
    std::lock_guard<std::mutex> lock(st.queueMutex);
    pending = st.queue.size();
  }
  // Posted messages present at the start of the round, in order; messages
  // posted meanwhile wait for the next round.
  for (std::size_t i = 0; i < pending; ++i) {
    MSG m;
    {
      std::lock_guard<std::mutex> lock(st.queueMutex);
      if (st.queue.empty()) break;
      m = st.queue.front();
      if (m.message == WM_QUIT) break;  // left for the caller's loop
      st.queue.pop_front();
    }
    if (m.hwnd && !W(m.hwnd)) continue;
    wakeForRemainingWork();
    DispatchMessage(&m);
    ++delivered;
  }
  // Due timers, earliest first; each fires at most once per round.
  std::int64_t t = now();
  std::vector<Timer> due;
  for (auto& tm : st.timers)
    if (tm.due <= t) due.push_back(tm);
  std::sort(due.begin(), due.end(), [](const Timer& a, const Timer& b) {
    return a.due != b.due ? a.due < b.due : a.seq < b.seq;
  });
  for (const Timer& d : due) {
    auto it = std::find_if(st.timers.begin(), st.timers.end(), [&](const Timer& x) {
      return x.hwnd == d.hwnd && x.id == d.id && x.seq == d.seq;
    });
    if (it == st.timers.end()) continue;  // killed by an earlier one
    it->due = t + it->elapse;
    MSG m;
    m.hwnd = d.hwnd;
    m.message = WM_TIMER;
    m.wParam = d.id;
    m.lParam = reinterpret_cast<LPARAM>(d.proc);
    m.time = static_cast<DWORD>(t);
    if (d.hwnd && !W(d.hwnd)) continue;
    wakeForRemainingWork();
    DispatchMessage(&m);
    ++delivered;
  }
  // Frames and client areas that need painting, parents before children.
  std::vector<HWND> order;
  std::vector<HWND> tops = st.topLevels;
  for (HWND top : tops) collectPaintOrder(top, &order);
  for (HWND h : order) {
    Window* w = W(h);
    if (!w || !IsWindowVisible(h)) continue;
    if (w->ncPending) {
      w->ncPending = false;
      SendMessage(h, WM_NCPAINT, 1, 0);
      ++delivered;
    }
    w = W(h);
    if (w && w->hasUpdate) {
      SendMessage(h, WM_PAINT, 0, 0);
      ++delivered;
      // A procedure that never validates must not make the pump spin.
      if (Window* again = W(h)) again->hasUpdate = false;
    }
  }
  // More work: ask to be called again.
  wakeForRemainingWork();
  return delivered;
}

// ---------------------------------------------------------------- timers

UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  auto& st = S();
  if (h && !W(h)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  elapse = std::max<UINT>(elapse, 10);  // the platform's minimum period
  if (!h) {
    bool found = false;
    for (auto& tm : st.timers)
      if (!tm.hwnd && tm.id == id) found = true;
    if (!found) id = st.nextThreadTimerId++;
  }
  for (auto& tm : st.timers) {
    if (tm.hwnd == h && tm.id == id) {
      tm.elapse = elapse;
      tm.due = now() + elapse;
      tm.proc = proc;
      tm.seq = ++st.timerSeq;
      wakeBackend(elapse);
      return h ? (id ? id : 1) : id;
    }
  }
  st.timers.push_back({h, id, elapse, now() + elapse, proc, ++st.timerSeq});
  wakeBackend(elapse);
  return h ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND h, UINT_PTR id) {
  auto& st = S();
  auto it = std::find_if(st.timers.begin(), st.timers.end(),
                         [&](const Timer& t) { return t.hwnd == h && t.id == id; });
  if (it == st.timers.end()) return FALSE;
  st.timers.erase(it);
  return TRUE;
}

// ---------------------------------------------------------------- geometry

BOOL ShowWindow(HWND h, int cmd) {
  Window* w = W(h);
  if (!w) return FALSE;
  bool was = (w->style & WS_VISIBLE) != 0;
  bool show = cmd != SW_HIDE;
  if (show == was) return was;
  SendMessage(h, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  if (!W(h)) return was;
  UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
  if (!show || cmd == SW_SHOWNA || cmd == SW_SHOWNOACTIVATE || cmd == SW_SHOWMINNOACTIVE)
    flags |= SWP_NOACTIVATE;
  SetWindowPos(h, nullptr, 0, 0, 0, 0, flags);
  if (!show && W(h) && treeHasFocus(h)) {
    Window* self = W(h);
    SetFocus(self->parent);
  }
  return was;
}

BOOL IsWindowVisible(HWND h) {
  Window* w = W(h);
  if (!w) return FALSE;
  for (; w; w = W(w->parent))
    if (!(w->style & WS_VISIBLE)) return FALSE;
  return TRUE;
}

BOOL EnableWindow(HWND h, BOOL enable) {
  auto& st = S();
  Window* w = W(h);
  if (!w) return FALSE;
  bool wasDisabled = (w->style & WS_DISABLED) != 0;
  if (bool(enable) == !wasDisabled) return wasDisabled;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    SendMessage(h, WM_CANCELMODE, 0, 0);
    w = W(h);
    if (!w) return wasDisabled;
    w->style |= WS_DISABLED;
    if (treeHasFocus(h)) SetFocus(nullptr);
    if (st.capture && isDescendantOrSelf(h, st.capture)) ReleaseCapture();
  }
  SendMessage(h, WM_ENABLE, enable ? TRUE : FALSE, 0);
  if (st.backend && W(h)) st.backend->windowChanged(h);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND h) {
  Window* w = W(h);
  return w && !(w->style & WS_DISABLED);
}

BOOL SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
  auto& st = S();
  Window* w = W(h);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  WINDOWPOS wp;
  wp.hwnd = h;
  wp.hwndInsertAfter = after;
  wp.x = (flags & SWP_NOMOVE) ? w->rect.left : x;
  wp.y = (flags & SWP_NOMOVE) ? w->rect.top : y;
  wp.cx = (flags & SWP_NOSIZE) ? width(w->rect) : std::max(0, cx);
  wp.cy = (flags & SWP_NOSIZE) ? height(w->rect) : std::max(0, cy);
  wp.flags = flags;
  if (!(flags & SWP_NOSENDCHANGING)) {
    SendMessage(h, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    w = W(h);
    if (!w) return FALSE;
  }
  RECT oldRect = w->rect;
  RECT newRect{wp.x, wp.y, wp.x + std::max(0, wp.cx), wp.y + std::max(0, wp.cy)};
  bool moved = newRect.left != oldRect.left || newRect.top != oldRect.top;
  bool sized = width(newRect) != width(oldRect) || height(newRect) != height(oldRect);
  if (sized || (flags & SWP_FRAMECHANGED)) {
    recalcClient(h, newRect, oldRect, &wp, false);
    w = W(h);
    if (!w) return FALSE;
  }
  w->rect = newRect;
  if (!(flags & SWP_NOZORDER)) {
    std::vector<HWND>& sibs = w->parent ? W(w->parent)->children : st.topLevels;
    sibs.erase(std::remove(sibs.begin(), sibs.end(), h), sibs.end());
    if (after == HWND_BOTTOM) {
      sibs.insert(sibs.begin(), h);
    } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
      sibs.push_back(h);
    } else {
      auto it = std::find(sibs.begin(), sibs.end(), after);
      sibs.insert(it == sibs.end() ? sibs.end() : it, h);  // just below `after`
    }
    if (after == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
    if (after == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
  }
  bool shown = false;
  if ((flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE)) {
    w->style |= WS_VISIBLE;
    shown = true;
  }
  if ((flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE)) w->style &= ~WS_VISIBLE;
  if (sized || (flags & SWP_FRAMECHANGED)) w->ncPending = true;
  if (!(flags & SWP_NOREDRAW) && (sized || shown || (flags & SWP_FRAMECHANGED)))
    invalidateTree(h);
  if (sized || shown || (flags & SWP_FRAMECHANGED)) wakeBackend(0);
  if (!moved) wp.flags |= SWP_NOMOVE;
  if (!sized) wp.flags |= SWP_NOSIZE;
  wp.x = newRect.left;
  wp.y = newRect.top;
  wp.cx = width(newRect);
  wp.cy = height(newRect);
  SendMessage(h, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
  if (st.backend && W(h)) st.backend->windowChanged(h);
  return TRUE;
}

BOOL MoveWindow(HWND h, int x, int y, int cx, int cy, BOOL repaint) {
  return SetWindowPos(h, nullptr, x, y, cx, cy,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL GetWindowRect(HWND h, RECT* r) {
  Window* w = W(h);
  if (!w || !r) return FALSE;
  POINT o = windowOrigin(h);
  *r = {o.x, o.y, o.x + width(w->rect), o.y + height(w->rect)};
  return TRUE;
}

BOOL GetClientRect(HWND h, RECT* r) {
  Window* w = W(h);
  if (!w || !r) return FALSE;
  *r = {0, 0, width(w->client), height(w->client)};
  return TRUE;
}

BOOL ClientToScreen(HWND h, POINT* pt) {
  if (!W(h) || !pt) return FALSE;
  POINT o = clientOrigin(h);
  pt->x += o.x;
  pt->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND h, POINT* pt) {
  if (!W(h) || !pt) return FALSE;
  POINT o = clientOrigin(h);
  pt->x -= o.x;
  pt->y -= o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* pts, UINT count) {
  POINT a = from ? clientOrigin(from) : POINT{};
  POINT b = to ? clientOrigin(to) : POINT{};
  int dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; i < count; ++i) {
    pts[i].x += dx;
    pts[i].y += dy;
  }
  return MAKELONG(dx, dy);
}

HWND WindowFromPoint(POINT pt) {
  auto& st = S();
  for (auto it = st.topLevels.rbegin(); it != st.topLevels.rend(); ++it) {
    Window* w = W(*it);
    if (!w || !(w->style & WS_VISIBLE)) continue;
    RECT r = w->rect;
    if (!PtInRect(&r, pt)) continue;
    return deepestAt(w->self, pt);
  }
  return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT clientPt) {
  Window* w = W(parent);
  if (!w) return nullptr;
  RECT cr{0, 0, width(w->client), height(w->client)};
  if (!PtInRect(&cr, clientPt)) return nullptr;
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
    Window* c = W(*it);
    if (c && PtInRect(&c->rect, clientPt)) return c->self;
  }
  return parent;
}

BOOL BringWindowToTop(HWND h) {
  return SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// ---------------------------------------------------------------- painting bookkeeping

BOOL InvalidateRect(HWND h, const RECT* rect, BOOL erase) {
  auto& st = S();
  if (!h) {
    for (HWND t : std::vector<HWND>(st.topLevels)) invalidateTree(t);
    return TRUE;
  }
  Window* w = W(h);
  if (!w) return FALSE;
  RECT cr{0, 0, width(w->client), height(w->client)};
  RECT r = cr;
  if (rect && !IntersectRect(&r, rect, &cr)) return TRUE;
  if (IsRectEmpty(&r)) return TRUE;
  if (w->hasUpdate) UnionRect(&w->update, &w->update, &r);
  else w->update = r;
  w->hasUpdate = true;
  if (erase) w->erasePending = true;
  wakeBackend(0);
  return TRUE;
}

BOOL ValidateRect(HWND h, const RECT* rect) {
  Window* w = W(h);
  if (!w) return FALSE;
  if (!rect) {
    w->hasUpdate = false;
    w->erasePending = false;
    return TRUE;
  }
  RECT r = w->update;
  // Only a validation that covers the update rectangle clears it.
  RECT u;
  UnionRect(&u, &r, rect);
  if (EqualRect(&u, rect)) {
    w->hasUpdate = false;
    w->erasePending = false;
  }
  return TRUE;
}

BOOL UpdateWindow(HWND h) {
  Window* w = W(h);
  if (!w) return FALSE;
  if (IsWindowVisible(h)) {
    if (w->ncPending) {
      w->ncPending = false;
      SendMessage(h, WM_NCPAINT, 1, 0);
    }
    w = W(h);
    if (w && w->hasUpdate) {
      SendMessage(h, WM_PAINT, 0, 0);
      if (Window* again = W(h)) again->hasUpdate = false;
    }
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND h, RECT* rect, BOOL) {
  Window* w = W(h);
  if (!w) return FALSE;
  if (rect) *rect = w->hasUpdate ? w->update : RECT{};
  return w->hasUpdate ? TRUE : FALSE;
}

BOOL RedrawWindow(HWND h, const RECT* rect, HRGN, UINT flags) {
  Window* w = W(h);
  if (!w) return FALSE;
  if (flags & RDW_FRAME) w->ncPending = true;
  if (flags & RDW_INVALIDATE) InvalidateRect(h, rect, (flags & RDW_ERASE) ? TRUE : FALSE);
  if (flags & RDW_VALIDATE) ValidateRect(h, rect);
  if (flags & RDW_ALLCHILDREN) {
    std::vector<HWND> kids = w->children;
    for (HWND c : kids) RedrawWindow(c, nullptr, nullptr, flags & ~RDW_UPDATENOW);
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(h);
  wakeBackend(0);
  return TRUE;
}

// ---------------------------------------------------------------- focus and capture

HWND SetFocus(HWND h) {
  auto& st = S();
  HWND old = st.focus;
  if (h == old) return old;
  if (h) {
    Window* w = W(h);
    if (!w) return nullptr;
    for (Window* p = w; p; p = W(p->parent))
      if (p->style & WS_DISABLED) return nullptr;
  }
  if (old && W(old)) {
    SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0);
    if (st.focus != old) return W(old) ? old : nullptr;  // the handler moved the focus itself
  }
  if (h && !W(h)) h = nullptr;
  st.focus = h;
  if (st.backend) st.backend->focusChanged(old, h);
  if (h) SendMessage(h, WM_SETFOCUS, reinterpret_cast<WPARAM>(W(old) ? old : nullptr), 0);
  return W(old) ? old : nullptr;
}

HWND GetFocus() { return W(S().focus) ? S().focus : nullptr; }

HWND SetActiveWindow(HWND h) {
  auto& st = S();
  HWND old = st.active;
  if (h == old) return old;
  if (h && !W(h)) return nullptr;
  if (W(old)) {
    SendMessage(old, WM_NCACTIVATE, FALSE, 0);
    SendMessage(old, WM_ACTIVATE, 0, reinterpret_cast<LPARAM>(h));
  }
  st.active = h;
  if (h) {
    SendMessage(h, WM_NCACTIVATE, TRUE, 0);
    SendMessage(h, WM_ACTIVATE, 1, reinterpret_cast<LPARAM>(W(old) ? old : nullptr));
  }
  return W(old) ? old : nullptr;
}

HWND GetActiveWindow() { return W(S().active) ? S().active : nullptr; }

HWND SetCapture(HWND h) {
  auto& st = S();
  HWND old = st.capture;
  if (h && !W(h)) return nullptr;
  st.capture = h;
  if (old && old != h && W(old))
    SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(h));
  if (st.backend && old != h) st.backend->captureChanged(h);
  return W(old) ? old : nullptr;
}

BOOL ReleaseCapture() {
  auto& st = S();
  HWND old = st.capture;
  st.capture = nullptr;
  if (old && W(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  if (st.backend && old) st.backend->captureChanged(nullptr);
  return TRUE;
}

HWND GetCapture() { return W(S().capture) ? S().capture : nullptr; }

short GetKeyState(int vk) {
  if (vk < 0 || vk > 255) return 0;
  BYTE s = S().keys[vk];
  return static_cast<short>(((s & 0x80) ? 0x8000 : 0) | (s & 1));
}

short GetAsyncKeyState(int vk) { return GetKeyState(vk); }

void setKeyState(int vk, bool down) {
  if (vk < 0 || vk > 255) return;
  BYTE& s = S().keys[vk];
  if (down && !(s & 0x80)) s ^= 1;  // toggle on each press
  s = static_cast<BYTE>(down ? (s | 0x80) : (s & ~0x80));
}

BOOL GetCursorPos(POINT* pt) {
  if (!pt) return FALSE;
  *pt = S().cursorPos;
  return TRUE;
}

HCURSOR SetCursor(HCURSOR c) {
  HCURSOR old = S().cursor;
  S().cursor = c;
  if (c != old)
    if (Backend* b = backend()) b->cursorChanged(c);
  return old;
}

namespace {
// Cursors the program draws, by handle; their handles lie above the ids of
// the system cursors.
std::map<std::uintptr_t, detail::CursorImage>& drawnCursors() {
  static std::map<std::uintptr_t, detail::CursorImage> m;
  return m;
}
}  // namespace

HCURSOR CreateCursor(HINSTANCE, int xHot, int yHot, int width, int height, const void* andPlane,
                     const void* xorPlane) {
  if (width <= 0 || height <= 0 || width > 256 || height > 256 || !andPlane || !xorPlane) return nullptr;
  static std::uintptr_t next = 0x20000;
  detail::CursorImage img;
  img.width = width;
  img.height = height;
  img.xHot = std::clamp(xHot, 0, width - 1);
  img.yHot = std::clamp(yHot, 0, height - 1);
  const std::size_t bytes = static_cast<std::size_t>((width + 15) / 16 * 2) * static_cast<std::size_t>(height);
  const auto* a = static_cast<const std::uint8_t*>(andPlane);
  const auto* x = static_cast<const std::uint8_t*>(xorPlane);
  img.andPlane.assign(a, a + bytes);
  img.xorPlane.assign(x, x + bytes);
  const std::uintptr_t h = next++;
  drawnCursors()[h] = std::move(img);
  return reinterpret_cast<HCURSOR>(h);
}

BOOL DestroyCursor(HCURSOR cursor) {
  if (S().cursor == cursor) SetCursor(LoadCursor(nullptr, MAKEINTRESOURCE(IDC_ARROW)));
  return drawnCursors().erase(reinterpret_cast<std::uintptr_t>(cursor)) ? TRUE : FALSE;
}

const detail::CursorImage* detail::cursorImage(HCURSOR cursor) {
  auto it = drawnCursors().find(reinterpret_cast<std::uintptr_t>(cursor));
  return it == drawnCursors().end() ? nullptr : &it->second;
}

HCURSOR GetCursor() { return S().cursor; }

HCURSOR LoadCursor(HINSTANCE, const char* name) {
  // System cursors are named by their id; the value is the handle.
  auto id = reinterpret_cast<std::uintptr_t>(name);
  if (id >= 0x10000) return nullptr;
  return reinterpret_cast<HCURSOR>(id);
}

UINT GetDoubleClickTime() { return 500; }
void MessageBeep(UINT) {}

// ---------------------------------------------------------------- hooks

HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE, DWORD) {
  if (idHook != WH_MOUSE || !proc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto& st = S();
  auto hk = std::make_shared<Hook>();
  hk->proc = proc;
  HHOOK h = reinterpret_cast<HHOOK>(st.hooks.add(hk));
  st.hookChain.insert(st.hookChain.begin(), h);
  return h;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  auto& st = S();
  if (!st.hooks.remove(reinterpret_cast<std::uintptr_t>(hook))) return FALSE;
  st.hookChain.erase(std::remove(st.hookChain.begin(), st.hookChain.end(), hook),
                     st.hookChain.end());
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  auto& st = S();
  auto it = std::find(st.hookChain.begin(), st.hookChain.end(), hook);
  if (it == st.hookChain.end() || ++it == st.hookChain.end()) return 0;
  Hook* next = st.hooks.raw(reinterpret_cast<std::uintptr_t>(*it));
  return next ? next->proc(code, wParam, lParam) : 0;
}

DWORD GetCurrentThreadId() {
  return static_cast<DWORD>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

// ---------------------------------------------------------------- input

void injectMouse(HWND target, POINT pt, int button, bool down) {
  auto& st = S();
  st.cursorPos = pt;
  static const int vks[] = {0, VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
  if (button >= 1 && button <= 3) setKeyState(vks[button], down);
  HWND h = GetCapture();
  bool captured = h != nullptr;
  if (!h) {
    // Under the point: within the target window, else any window there (a
    // popup opened by the target), else the target itself.
    RECT wr{};
    if (target && W(target)) GetWindowRect(target, &wr);
    if (target && W(target) && PtInRect(&wr, pt)) h = deepestAt(target, pt);
    else h = WindowFromPoint(pt);
    if (!h) h = target;
  }
  if (!h || !W(h)) return;
  int hit = HTCLIENT;
  if (!captured) hit = static_cast<int>(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)));
  if (!W(h)) return;
  static const UINT downMsg[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
  static const UINT upMsg[] = {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
  if (button < 0 || button > 3) return;
  UINT msg = down ? downMsg[button] : upMsg[button];
  if (button && down) {
    std::int64_t t = now();
    const Click& c = st.lastClick;
    bool dbl = detail::hasClassStyle(h, CS_DBLCLKS) && c.hwnd == h && c.button == button &&
               t - c.time <= GetDoubleClickTime() &&
               std::abs(pt.x - c.pt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
               std::abs(pt.y - c.pt.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    if (dbl) {
      msg += 2;  // WM_xBUTTONDBLCLK follows WM_xBUTTONDOWN by 2
      st.lastClick = {};
    } else {
      st.lastClick = {h, button, t, pt};
    }
  }
  bool client = captured || hit == HTCLIENT;
  UINT sent = client ? msg : msg - (WM_MOUSEMOVE - WM_NCMOUSEMOVE);
  MOUSEHOOKSTRUCT mh;
  mh.pt = pt;
  mh.hwnd = h;
  mh.wHitTestCode = static_cast<UINT>(hit);
  if (runMouseHooks(sent, &mh)) return;
  if (!W(h)) return;
  if (!captured) {
    SendMessage(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(hit, static_cast<int>(msg)));
    if (!W(h)) return;
  }
  if (button && down && topOf(h) != st.active) {
    HWND top = topOf(h);
    LRESULT r = SendMessage(h, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                            MAKELPARAM(hit, static_cast<int>(msg)));
    if (r != MA_NOACTIVATE && r != MA_NOACTIVATEANDEAT && W(top)) SetActiveWindow(top);
    if (r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT || !W(h)) return;
  }
  if (client) {
    POINT c = pt;
    ScreenToClient(h, &c);
    SendMessage(h, msg, mouseKeyFlags(), MAKELPARAM(c.x, c.y));
  } else {
    SendMessage(h, sent, static_cast<WPARAM>(hit), MAKELPARAM(pt.x, pt.y));
  }
}

void injectWheel(HWND target, POINT pt, int delta) {
  auto& st = S();
  st.cursorPos = pt;
  if (delta == 0) return;  // a sideways wheel: no vertical turn to report
  // The focus window, as the platform does, when it lies in the target's
  // tree; otherwise (the focus is elsewhere or nowhere) the window under
  // the mouse there, so that a list under the mouse scrolls rather than
  // the host that holds it.
  HWND h = GetFocus();
  if (target && W(target) && (!h || topOf(h) != topOf(target))) {
    RECT wr;
    GetWindowRect(target, &wr);
    h = PtInRect(&wr, pt) ? deepestAt(target, pt) : target;
  }
  if (!h || !W(h)) return;
  SendMessage(h, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(mouseKeyFlags()), delta),
              MAKELPARAM(pt.x, pt.y));
}

UINT injectKey(int vk, bool down, bool alt) {
  auto& st = S();
  bool repeat = down && GetKeyState(vk) < 0;
  // Alt and Ctrl as they were before this key.
  bool altHeld = alt || GetKeyState(VK_MENU) < 0;
  bool ctrlHeld = GetKeyState(VK_CONTROL) < 0;
  setKeyState(vk, down);
  // System keys as the platform makes them: Alt itself and any key while
  // Alt is held, unless Ctrl is held too (the AltGr combination), and F10.
  // Alt released after another key is a plain key up: only Alt pressed and
  // released on its own gives WM_SYSKEYUP (what opens a menu).
  bool sys;
  if (vk == VK_MENU) {
    if (down) {
      sys = !ctrlHeld;
      st.altAlone = sys;
    } else {
      sys = st.altAlone;
      st.altAlone = false;
    }
  } else {
    sys = vk == VK_F10 || (altHeld && !ctrlHeld);
    if (sys) st.altAlone = false;
  }
  HWND h = GetFocus();
  if (!h) return 0;
  UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  LPARAM l = 1;
  // The context bit: Alt is down (it is never set on plain key messages).
  if (sys && (altHeld || vk == VK_MENU)) l |= LPARAM{1} << 29;
  if (repeat) l |= LPARAM{1} << 30;
  if (!down) l |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
  SendMessage(h, msg, static_cast<WPARAM>(vk), static_cast<LPARAM>(static_cast<LONG>(l)));
  return msg;
}

void injectChar(char32_t cp, bool sysKey) {
  HWND h = GetFocus();
  if (!h) return;
  LPARAM l = 1;
  if (sysKey) l |= LPARAM{1} << 29;
  SendMessage(h, sysKey ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(cp), l);
}

// ---------------------------------------------------------------- DefWindowProc

LRESULT DefWindowProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = W(h);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCT*>(lParam);
      if (cs && cs->lpszName && !isAtom(cs->lpszName)) w->text = cs->lpszName;
      return TRUE;
    }
    case WM_NCCALCSIZE:
      if (wParam) defaultCalcSize(h, &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]);
      else defaultCalcSize(h, reinterpret_cast<RECT*>(lParam));
      return 0;
    case WM_NCHITTEST: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      RECT wr, cr;
      detail::windowScreenRect(h, &wr, &cr);
      if (!PtInRect(&wr, pt)) return HTNOWHERE;
      if (PtInRect(&cr, pt)) return HTCLIENT;
      if ((w->style & WS_VSCROLL) && pt.x >= cr.right && pt.y >= cr.top && pt.y < cr.bottom)
        return HTVSCROLL;
      if ((w->style & WS_HSCROLL) && pt.y >= cr.bottom && pt.x >= cr.left && pt.x < cr.right)
        return HTHSCROLL;
      if ((w->style & WS_CAPTION) == WS_CAPTION && pt.y < cr.top &&
          pt.y >= cr.top - GetSystemMetrics(SM_CYCAPTION))
        return HTCAPTION;
      return HTBORDER;
    }
    case WM_SETCURSOR:
      if (w->parent && SendMessage(w->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if (LOWORD(static_cast<ULONG_PTR>(lParam)) == HTCLIENT) {
        if (Window* self = W(h)) SetCursor(self->cls->cursor);
      } else {
        SetCursor(LoadCursor(nullptr, MAKEINTRESOURCE(IDC_ARROW)));
      }
      return FALSE;
    case WM_MOUSEACTIVATE:
      if (w->parent) {
        LRESULT r = SendMessage(w->parent, WM_MOUSEACTIVATE, wParam, lParam);
        if (r) return r;
      }
      return MA_ACTIVATE;
    case WM_NCPAINT:
      detail::drawDefaultFrame(h);
      return 0;
    case WM_NCACTIVATE:
      return TRUE;
    case WM_ERASEBKGND: {
      HBRUSH br = w->cls->background;
      if (!br) return 0;
      RECT cr;
      GetClientRect(h, &cr);
      FillRect(reinterpret_cast<HDC>(wParam), &cr, br);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(h, &ps);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
    case WM_PRINT:
      return 0;
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      if (w->style & WS_CAPTION) RedrawWindow(h, nullptr, nullptr, RDW_FRAME);
      return TRUE;
    case WM_GETTEXT: {
      if (!wParam || !lParam) return 0;
      auto* buf = reinterpret_cast<char*>(lParam);
      std::size_t n = utf8Cut(w->text, static_cast<std::size_t>(wParam) - 1);
      std::memcpy(buf, w->text.data(), n);
      buf[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_WINDOWPOSCHANGED: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
      if (!(wp->flags & SWP_NOSIZE) || (wp->flags & SWP_FRAMECHANGED))
        SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width(w->client), height(w->client)));
      w = W(h);
      if (w && (!(wp->flags & SWP_NOMOVE) || (wp->flags & SWP_FRAMECHANGED)))
        SendMessage(h, WM_MOVE, 0,
                    MAKELPARAM(w->rect.left + w->client.left, w->rect.top + w->client.top));
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(h);
      return 0;
    case WM_CANCELMODE:
      if (S().capture == h) ReleaseCapture();
      return 0;
    case WM_MOUSEWHEEL:
      if (w->parent) return SendMessage(w->parent, msg, wParam, lParam);
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    default:
      return 0;
  }
}

// ---------------------------------------------------------------- global memory

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
  auto& st = S();
  if (st.failGlobal > 0 || bytes > (std::size_t{1} << 31)) {
    if (st.failGlobal > 0) --st.failGlobal;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto b = std::make_shared<GlobalBlock>();
  // Always zero-filled, so no caller reads garbage; calloc takes large
  // blocks as fresh zero pages, so a page is touched only when used.
  b->data.reset(static_cast<std::uint8_t*>(std::calloc(std::max<std::size_t>(bytes, 1), 1)));
  if (!b->data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  b->size = bytes;
  b->flags = flags;
  return reinterpret_cast<HGLOBAL>(st.globals.add(b));
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, std::size_t bytes, UINT flags) {
  auto& st = S();
  GlobalBlock* b = st.globals.raw(reinterpret_cast<std::uintptr_t>(mem));
  if (!b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (flags & GMEM_MODIFY) {
    b->flags = (b->flags & ~GMEM_MOVEABLE) | (flags & GMEM_MOVEABLE);
    return mem;
  }
  if (st.failGlobal > 0 || bytes > (std::size_t{1} << 31)) {
    if (st.failGlobal > 0) --st.failGlobal;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // realloc keeps the bytes and, for a large block, moves its pages
  // without copying them; only the part beyond the old size is zeroed.
  auto* grown = static_cast<std::uint8_t*>(std::realloc(b->data.get(), std::max<std::size_t>(bytes, 1)));
  if (!grown) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  (void)b->data.release();
  b->data.reset(grown);
  if (bytes > b->size) std::memset(grown + b->size, 0, bytes - b->size);
  b->size = bytes;
  return mem;
}

void* GlobalLock(HGLOBAL mem) {
  GlobalBlock* b = S().globals.raw(reinterpret_cast<std::uintptr_t>(mem));
  if (!b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (b->locks < static_cast<int>(GMEM_LOCKCOUNT)) ++b->locks;
  return b->data.get();
}

BOOL GlobalUnlock(HGLOBAL mem) {
  GlobalBlock* b = S().globals.raw(reinterpret_cast<std::uintptr_t>(mem));
  if (!b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (b->locks > 0) --b->locks;
  SetLastError(ERROR_SUCCESS);
  return b->locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL mem) {
  GlobalBlock* b = S().globals.raw(reinterpret_cast<std::uintptr_t>(mem));
  return b ? b->size : 0;
}

UINT GlobalFlags(HGLOBAL mem) {
  GlobalBlock* b = S().globals.raw(reinterpret_cast<std::uintptr_t>(mem));
  return b ? static_cast<UINT>(b->locks) : GMEM_INVALID_HANDLE;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
  if (!S().globals.remove(reinterpret_cast<std::uintptr_t>(mem))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return mem;
  }
  return nullptr;
}

// ---------------------------------------------------------------- rectangles

BOOL SetRect(RECT* r, int l, int t, int rr, int b) {
  if (!r) return FALSE;
  *r = {l, t, rr, b};
  return TRUE;
}
BOOL SetRectEmpty(RECT* r) { return SetRect(r, 0, 0, 0, 0); }
BOOL CopyRect(RECT* d, const RECT* s) {
  if (!d || !s) return FALSE;
  *d = *s;
  return TRUE;
}
BOOL IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }
BOOL PtInRect(const RECT* r, POINT p) {
  return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
BOOL OffsetRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
  return TRUE;
}
BOOL InflateRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  r->left -= dx;
  r->right += dx;
  r->top -= dy;
  r->bottom += dy;
  return TRUE;
}
BOOL IntersectRect(RECT* d, const RECT* a, const RECT* b) {
  if (!d || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    *d = {};
    return FALSE;
  }
  *d = r;
  return TRUE;
}
BOOL UnionRect(RECT* d, const RECT* a, const RECT* b) {
  if (!d || !a || !b) return FALSE;
  if (IsRectEmpty(a)) { *d = IsRectEmpty(b) ? RECT{} : *b; return !IsRectEmpty(d); }
  if (IsRectEmpty(b)) { *d = *a; return TRUE; }
  *d = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
        std::max(a->bottom, b->bottom)};
  return TRUE;
}
BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
         a->bottom == b->bottom;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  std::int64_t p = static_cast<std::int64_t>(a) * b;
  bool neg = (p < 0) != (c < 0);
  std::uint64_t up = static_cast<std::uint64_t>(p < 0 ? -p : p);
  std::uint64_t uc = static_cast<std::uint64_t>(c < 0 ? -static_cast<std::int64_t>(c) : c);
  std::uint64_t q = (up + uc / 2) / uc;
  if (q > static_cast<std::uint64_t>(INT32_MAX) + (neg ? 1 : 0)) return -1;
  return neg ? static_cast<int>(-static_cast<std::int64_t>(q)) : static_cast<int>(q);
}

// ---------------------------------------------------------------- metrics and colours

int screenDpi() {
  detail::readScreenOnce();
  return S().dpi;
}

int GetSystemMetrics(int index) {
  detail::readScreenOnce();
  auto& st = S();
  auto sc = [&](int v) { return MulDiv(v, st.dpi, 96); };
  switch (index) {
    case SM_CXSCREEN: case SM_CXFULLSCREEN: case SM_CXVIRTUALSCREEN: return st.screenW;
    case SM_CYSCREEN: case SM_CYVIRTUALSCREEN: return st.screenH;
    case SM_CYFULLSCREEN: return st.screenH - sc(18);
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL:
    case SM_CYVTHUMB: case SM_CXHTHUMB: return sc(16);
    case SM_CYCAPTION: return sc(18);
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return sc(32);
    case SM_CXSMICON: case SM_CYSMICON: return sc(16);
    case SM_CYMENU: return sc(19);
    case SM_CXMIN: return sc(112);
    case SM_CYMIN: return sc(27);
    case SM_CXSIZE: case SM_CYSIZE: return sc(18);
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_MOUSEWHEELPRESENT: case SM_CMONITORS: return 1;
    case SM_SWAPBUTTON: return 0;
    default: return 0;
  }
}

DWORD GetSysColor(int index) {
  if (index < 0 || index >= COLOR_COUNT) return 0;
  return S().sysColors[index];
}

BOOL SetSysColors(int count, const int* indices, const COLORREF* values) {
  auto& st = S();
  if (count < 0 || (count && (!indices || !values))) return FALSE;
  for (int i = 0; i < count; ++i)
    if (indices[i] >= 0 && indices[i] < COLOR_COUNT) st.sysColors[indices[i]] = values[i] & 0xFFFFFF;
  for (HWND t : std::vector<HWND>(st.topLevels)) {
    SendMessage(t, WM_SYSCOLORCHANGE, 0, 0);
    invalidateTree(t);
  }
  return TRUE;
}

COLORREF TranslateColor(COLORREF c) {
  if (c & SYSCOLOR_REF_BIT) return GetSysColor(static_cast<int>(c & 0xFF));
  return c & 0xFFFFFF;
}

void setBackend(Backend* b) { S().backend = b; }
Backend* backend() { return S().backend; }

void setClock(Clock* c) { S().clock = c ? c : &S().steady; }

// ---------------------------------------------------------------- detail

namespace detail {

std::shared_ptr<WindowSurface>* surfaceSlot(HWND h) {
  Window* w = W(h);
  return w ? &w->surface : nullptr;
}

bool windowScreenRect(HWND h, RECT* window, RECT* client) {
  Window* w = W(h);
  if (!w) return false;
  POINT o = windowOrigin(h);
  if (window) *window = {o.x, o.y, o.x + width(w->rect), o.y + height(w->rect)};
  if (client)
    *client = {o.x + w->client.left, o.y + w->client.top, o.x + w->client.right,
               o.y + w->client.bottom};
  return true;
}

bool takeUpdate(HWND h, RECT* update, bool* erase) {
  Window* w = W(h);
  if (!w) return false;
  bool had = w->hasUpdate;
  if (update) *update = had ? w->update : RECT{};
  if (erase) *erase = w->erasePending;
  w->hasUpdate = false;
  w->erasePending = false;
  return had;
}

void markPainted(HWND h) {
  if (S().backend) S().backend->imageChanged(h);
}

bool takeGetDCFailure() {
  auto& st = S();
  if (st.failDC <= 0) return false;
  --st.failDC;
  return true;
}

void forEachChild(HWND parent, const std::function<void(HWND)>& fn) {
  Window* w = W(parent);
  if (!w) return;
  std::vector<HWND> kids = w->children;
  for (HWND c : kids)
    if (W(c)) fn(c);
}

std::vector<HWND> topLevelWindows() { return S().topLevels; }

bool hasClassStyle(HWND h, UINT bits) {
  Window* w = W(h);
  return w && (w->cls->style & bits) == bits;
}

HBRUSH classBackground(HWND h) {
  Window* w = W(h);
  return w ? w->cls->background : nullptr;
}

HCURSOR classCursor(HWND h) {
  Window* w = W(h);
  return w ? w->cls->cursor : nullptr;
}

void readScreenOnce() {
  auto& st = S();
  if (st.screenRead) return;
  st.screenRead = true;
  int w, h, d;
  if (queryQtScreen(&w, &h, &d)) {
    st.screenW = w;
    st.screenH = h;
    st.dpi = d;
  }
}

}  // namespace detail

// ---------------------------------------------------------------- test hooks

namespace test {

void failGetDC(int count) { S().failDC = count; }
void failGlobalAlloc(int count) { S().failGlobal = count; }

void setScreen(int w, int h, int dpi) {
  auto& st = S();
  st.screenRead = true;
  st.screenW = w;
  st.screenH = h;
  st.dpi = dpi;
}

void reset() {
  auto& st = S();
  for (HWND t : std::vector<HWND>(st.topLevels))
    if (W(t)) DestroyWindow(t);
  // Anything left (a window whose destruction was refused) goes without
  // messages.
  for (auto h : st.windows.handles()) freeWindow(toHwnd(h));
  st.topLevels.clear();
  for (const auto& c : st.classes)
    if (!c->system) releaseClassAtom(c->atom);
  st.classes.erase(std::remove_if(st.classes.begin(), st.classes.end(),
                                  [](const std::shared_ptr<WindowClass>& c) { return !c->system; }),
                   st.classes.end());
  {
    std::lock_guard<std::mutex> lock(st.queueMutex);
    st.queue.clear();
  }
  st.timers.clear();
  st.hooks.clear();
  st.hookChain.clear();
  st.globals.clear();
  st.focus = st.capture = st.active = nullptr;
  st.failDC = st.failGlobal = 0;
  st.screenRead = false;
  st.screenW = 1024;
  st.screenH = 768;
  st.dpi = 96;
  std::fill(std::begin(st.keys), std::end(st.keys), BYTE{0});
  st.lastClick = {};
  st.altAlone = false;
  st.clock = &st.steady;
  std::copy(std::begin(kClassicColors), std::end(kClassicColors), st.sysColors);
  st.uiThread = std::this_thread::get_id();
}

int liveWindowCount() { return static_cast<int>(S().windows.size()); }
bool screenWasRead() { return S().screenRead; }
int liveGlobalCount() { return static_cast<int>(S().globals.size()); }

}  // namespace test

}  // namespace plat::win
