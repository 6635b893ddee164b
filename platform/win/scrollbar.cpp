// The built-in scroll bar control. See scrollbar.h.

#include "platform/win/scrollbar.h"

#include <algorithm>

#include "platform/win/gdi.h"
#include "platform/win/window.h"

namespace plat::win {

namespace {

constexpr UINT_PTR kRepeatTimer = 1;

struct Bar {
  int min = 0, max = 100;
  UINT page = 0;
  int pos = 0, trackPos = 0;
  int action = -1;  // the scroll code repeated while the button is held
  bool tracking = false;
  int grabOffset = 0;  // where in the thumb the drag started
};

Bar* bar(HWND h) { return reinterpret_cast<Bar*>(GetWindowLongPtr(h, 0)); }
bool vertical(HWND h) { return (GetWindowLong(h, GWL_STYLE) & SBS_VERT) != 0; }

int maxPos(const Bar& b) {
  int m = b.max - std::max(static_cast<int>(b.page) - 1, 0);
  return std::max(m, b.min);
}

void clampPos(Bar& b) { b.pos = std::clamp(b.pos, b.min, maxPos(b)); }

// Geometry along the bar: arrow size, track start and end, thumb start and
// length.
struct Layout {
  int length, arrow, trackStart, trackEnd, thumbStart, thumbLen;
};

Layout layout(HWND h, const Bar& b) {
  RECT cr;
  GetClientRect(h, &cr);
  bool v = vertical(h);
  Layout l;
  l.length = v ? cr.bottom : cr.right;
  int thick = v ? cr.right : cr.bottom;
  l.arrow = std::min(thick, l.length / 2);
  l.trackStart = l.arrow;
  l.trackEnd = l.length - l.arrow;
  int track = std::max(0, l.trackEnd - l.trackStart);
  int range = b.max - b.min + 1;
  int len = b.page ? MulDiv(track, static_cast<int>(b.page), std::max(range, 1)) : thick;
  l.thumbLen = std::clamp(len, std::min(8, track), track);
  int span = maxPos(b) - b.min;
  int room = track - l.thumbLen;
  int shown = b.tracking ? b.trackPos : b.pos;
  l.thumbStart = l.trackStart + (span > 0 ? MulDiv(room, shown - b.min, span) : 0);
  return l;
}

void notify(HWND h, int code, int pos) {
  HWND parent = GetParent(h);
  if (!parent) return;
  SendMessage(parent, vertical(h) ? WM_VSCROLL : WM_HSCROLL,
              MAKEWPARAM(code, code == SB_THUMBTRACK || code == SB_THUMBPOSITION ? pos : 0),
              reinterpret_cast<LPARAM>(h));
}

void paint(HWND h, HDC dc) {
  Bar* b = bar(h);
  if (!b) return;
  RECT cr;
  GetClientRect(h, &cr);
  bool v = vertical(h);
  Layout l = layout(h, *b);
  auto along = [&](int a, int z) {
    return v ? RECT{0, a, cr.right, z} : RECT{a, 0, z, cr.bottom};
  };
  RECT track = along(l.trackStart, l.trackEnd);
  FillRect(dc, &track, GetSysColorBrush(COLOR_SCROLLBAR));
  bool enabled = IsWindowEnabled(h) && maxPos(*b) > b->min;
  for (RECT r : {along(0, l.arrow), along(l.trackEnd, l.length)}) {
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  }
  // Arrow marks: small triangles pointing outwards.
  HBRUSH mark = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  int half = std::max(1, l.arrow / 4);
  for (int i = 0; i < half; ++i) {
    int c = (v ? cr.right : cr.bottom) / 2;
    int a1 = l.arrow / 2 - half / 2 + i, a2 = l.length - l.arrow / 2 + half / 2 - i;
    RECT r1 = v ? RECT{c - i, a1, c + i + 1, a1 + 1} : RECT{a1, c - i, a1 + 1, c + i + 1};
    RECT r2 = v ? RECT{c - i, a2, c + i + 1, a2 + 1} : RECT{a2, c - i, a2 + 1, c + i + 1};
    FillRect(dc, &r1, mark);
    FillRect(dc, &r2, mark);
  }
  if (enabled) {
    RECT thumb = along(l.thumbStart, l.thumbStart + l.thumbLen);
    FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
  }
}

int hitAction(HWND h, const Bar& b, int at) {
  Layout l = layout(h, b);
  if (at < l.arrow) return SB_LINEUP;
  if (at >= l.trackEnd) return SB_LINEDOWN;
  if (at < l.thumbStart) return SB_PAGEUP;
  if (at >= l.thumbStart + l.thumbLen) return SB_PAGEDOWN;
  return SB_THUMBTRACK;
}

int posFromThumb(HWND h, const Bar& b, int thumbStart) {
  Layout l = layout(h, b);
  int room = l.trackEnd - l.trackStart - l.thumbLen;
  int span = maxPos(b) - b.min;
  if (room <= 0) return b.min;
  return std::clamp(b.min + MulDiv(thumbStart - l.trackStart, span, room), b.min, maxPos(b));
}

}  // namespace

LRESULT detail::scrollBarProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Bar* b = bar(h);
  switch (msg) {
    case WM_NCCREATE:
      SetWindowLongPtr(h, 0, reinterpret_cast<LONG_PTR>(new Bar));
      return DefWindowProc(h, msg, w, l);
    case WM_NCDESTROY:
      delete b;
      SetWindowLongPtr(h, 0, 0);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      if (dc) paint(h, dc);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_ENABLE:
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE:
      return 0;
    default: break;
  }
  if (!b) return DefWindowProc(h, msg, w, l);
  switch (msg) {
    case SBM_SETSCROLLINFO: {
      auto* si = reinterpret_cast<const SCROLLINFO*>(l);
      if (!si) return b->pos;
      if (si->fMask & SIF_RANGE) {
        b->min = si->nMin;
        b->max = std::max(si->nMax, si->nMin);
      }
      if (si->fMask & SIF_PAGE)
        b->page = std::min<UINT>(si->nPage, static_cast<UINT>(b->max - b->min + 1));
      if (si->fMask & SIF_POS) b->pos = si->nPos;
      clampPos(*b);
      if (w) InvalidateRect(h, nullptr, FALSE);
      return b->pos;
    }
    case SBM_GETSCROLLINFO: {
      auto* si = reinterpret_cast<SCROLLINFO*>(l);
      if (!si) return FALSE;
      if (si->fMask & SIF_RANGE) { si->nMin = b->min; si->nMax = b->max; }
      if (si->fMask & SIF_PAGE) si->nPage = b->page;
      if (si->fMask & SIF_POS) si->nPos = b->pos;
      if (si->fMask & SIF_TRACKPOS) si->nTrackPos = b->tracking ? b->trackPos : b->pos;
      return TRUE;
    }
    case SBM_SETPOS: {
      int old = b->pos;
      b->pos = static_cast<int>(w);
      clampPos(*b);
      if (l) InvalidateRect(h, nullptr, FALSE);
      return old;
    }
    case SBM_GETPOS:
      return b->pos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
      b->min = static_cast<int>(w);
      b->max = std::max(static_cast<int>(l), b->min);
      clampPos(*b);
      if (msg == SBM_SETRANGEREDRAW) InvalidateRect(h, nullptr, FALSE);
      return b->pos;
    }
    case SBM_GETRANGE:
      if (w) *reinterpret_cast<int*>(w) = b->min;
      if (l) *reinterpret_cast<int*>(l) = b->max;
      return 0;
    case WM_LBUTTONDOWN: {
      if (maxPos(*b) <= b->min) return 0;
      int at = vertical(h) ? GET_Y_LPARAM(l) : GET_X_LPARAM(l);
      int act = hitAction(h, *b, at);
      SetCapture(h);
      if (act == SB_THUMBTRACK) {
        b->tracking = true;
        b->trackPos = b->pos;
        b->grabOffset = at - layout(h, *b).thumbStart;
        return 0;
      }
      b->action = act;
      notify(h, act, 0);
      if (IsWindow(h)) SetTimer(h, kRepeatTimer, 400, nullptr);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (b->tracking) {
        int at = vertical(h) ? GET_Y_LPARAM(l) : GET_X_LPARAM(l);
        int p = posFromThumb(h, *b, at - b->grabOffset);
        if (p != b->trackPos) {
          b->trackPos = p;
          InvalidateRect(h, nullptr, FALSE);
          notify(h, SB_THUMBTRACK, p);
        }
      }
      return 0;
    case WM_TIMER:
      if (w == kRepeatTimer && b->action >= 0) {
        notify(h, b->action, 0);
        if (IsWindow(h)) SetTimer(h, kRepeatTimer, 50, nullptr);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
      bool wasTracking = b->tracking;
      bool active = wasTracking || b->action >= 0;
      b->tracking = false;
      b->action = -1;
      KillTimer(h, kRepeatTimer);
      if (msg == WM_LBUTTONUP && GetCapture() == h) ReleaseCapture();
      if (!IsWindow(h) || !active) return 0;
      if (wasTracking) notify(h, SB_THUMBPOSITION, b->trackPos);
      if (IsWindow(h)) notify(h, SB_ENDSCROLL, 0);
      if (IsWindow(h)) InvalidateRect(h, nullptr, FALSE);
      return 0;
    }
    default:
      return DefWindowProc(h, msg, w, l);
  }
}

int SetScrollInfo(HWND h, int which, const SCROLLINFO* si, BOOL redraw) {
  if (which != SB_CTL) return 0;
  return static_cast<int>(SendMessage(h, SBM_SETSCROLLINFO, redraw ? 1 : 0, reinterpret_cast<LPARAM>(si)));
}

BOOL GetScrollInfo(HWND h, int which, SCROLLINFO* si) {
  if (which != SB_CTL) return FALSE;
  return static_cast<BOOL>(SendMessage(h, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(si)));
}

int SetScrollPos(HWND h, int which, int pos, BOOL redraw) {
  if (which != SB_CTL) return 0;
  return static_cast<int>(SendMessage(h, SBM_SETPOS, static_cast<WPARAM>(pos), redraw ? 1 : 0));
}

int GetScrollPos(HWND h, int which) {
  if (which != SB_CTL) return 0;
  return static_cast<int>(SendMessage(h, SBM_GETPOS, 0, 0));
}

BOOL SetScrollRange(HWND h, int which, int minPos, int maxPos, BOOL redraw) {
  if (which != SB_CTL) return FALSE;
  SendMessage(h, redraw ? SBM_SETRANGEREDRAW : SBM_SETRANGE, static_cast<WPARAM>(minPos), maxPos);
  return TRUE;
}

BOOL GetScrollRange(HWND h, int which, int* minPos, int* maxPos) {
  if (which != SB_CTL) return FALSE;
  SendMessage(h, SBM_GETRANGE, reinterpret_cast<WPARAM>(minPos), reinterpret_cast<LPARAM>(maxPos));
  return TRUE;
}

BOOL ShowScrollBar(HWND h, int which, BOOL show) {
  if (which != SB_CTL) return FALSE;
  ShowWindow(h, show ? SW_SHOWNA : SW_HIDE);
  return TRUE;
}

BOOL EnableScrollBar(HWND h, int which, UINT arrows) {
  if (which != SB_CTL) return FALSE;
  EnableWindow(h, arrows != ESB_DISABLE_BOTH);
  return TRUE;
}

}  // namespace plat::win
