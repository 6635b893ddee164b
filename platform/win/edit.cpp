// The built-in single-line edit control. See edit.h.

#include "platform/win/edit.h"

#include <algorithm>
#include <string>

#include "platform/text/utf8.h"
#include "platform/win/gdi.h"
#include "platform/win/window.h"

namespace plat::win {

namespace {

struct Edit {
  std::string text;       // UTF-8
  int anchor = 0;         // selection: anchor and caret, in characters
  int caret = 0;
  int limit = kEditDefaultLimit;
  int scrollX = 0;        // pixels of text scrolled out at the left
  bool focus = false;
  bool modified = false;
  HFONT font = nullptr;
};

Edit* state(HWND h) { return reinterpret_cast<Edit*>(GetWindowLongPtr(h, 0)); }

int charCount(const std::string& s) { return static_cast<int>(text::countChars(s)); }

// Byte offset of character position `pos`.
std::size_t byteOf(const std::string& s, int pos) {
  return text::cutChars(s, static_cast<std::size_t>(std::max(pos, 0))).size();
}

int selStart(const Edit& e) { return std::min(e.anchor, e.caret); }
int selEnd(const Edit& e) { return std::max(e.anchor, e.caret); }

// Tells the parent; false when the edit went away meanwhile.
bool notify(HWND h, UINT code) {
  HWND parent = GetParent(h);
  if (parent)
    SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), static_cast<int>(code)),
                reinterpret_cast<LPARAM>(h));
  return IsWindow(h) != FALSE;
}

// Keeps the window's own text (WM_GETTEXT) equal to the edit text.
void syncWindowText(HWND h, const Edit& e) {
  DefWindowProc(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(e.text.c_str()));
}

int textWidth(HWND h, const Edit& e, std::string_view s) {
  HDC dc = GetDC(h);
  if (!dc) return 0;
  HGDIOBJ old = e.font ? SelectObject(dc, e.font) : nullptr;
  SIZE size;
  GetTextExtentPoint32(dc, s.data(), static_cast<int>(s.size()), &size);
  if (old) SelectObject(dc, old);
  ReleaseDC(h, dc);
  return size.cx;
}

// Scrolls so that the caret is inside the client area.
void scrollToCaret(HWND h, Edit& e) {
  RECT cr;
  GetClientRect(h, &cr);
  const int width = std::max<int>(1, cr.right - 2);
  const int x = textWidth(h, e, std::string_view(e.text).substr(0, byteOf(e.text, e.caret)));
  if (x - e.scrollX > width) e.scrollX = x - width;
  if (x < e.scrollX) e.scrollX = x;
  e.scrollX = std::max(0, e.scrollX);
}

void changed(HWND h, Edit& e) {
  e.modified = true;
  syncWindowText(h, e);
  scrollToCaret(h, e);
  InvalidateRect(h, nullptr, TRUE);
  if (notify(h, EN_UPDATE)) notify(h, EN_CHANGE);
}

// Replaces the selection by `insert`, cut to what the limit leaves room
// for. Answers false (and reports EN_MAXTEXT) when something was cut.
bool replaceSelection(HWND h, Edit& e, std::string_view insert, bool notifyChange) {
  const int start = selStart(e), end = selEnd(e);
  const int kept = charCount(e.text) - (end - start);
  const int room = std::max(0, e.limit - kept);
  std::string_view put = text::cutChars(insert, static_cast<std::size_t>(room));
  const bool whole = put.size() == insert.size();
  if (put.empty() && start == end) {
    if (!whole) notify(h, EN_MAXTEXT);
    return whole;
  }
  const std::size_t b0 = byteOf(e.text, start), b1 = byteOf(e.text, end);
  e.text.replace(b0, b1 - b0, put);
  e.caret = e.anchor = start + charCount(std::string(put));
  if (notifyChange) changed(h, e);
  else syncWindowText(h, e);
  if (!whole && IsWindow(h)) notify(h, EN_MAXTEXT);
  return whole;
}

void moveCaret(HWND h, Edit& e, int to, bool extend) {
  to = std::clamp(to, 0, charCount(e.text));
  e.caret = to;
  if (!extend) e.anchor = to;
  scrollToCaret(h, e);
  InvalidateRect(h, nullptr, FALSE);
}

// The character position nearest to x (client coordinates).
int positionAt(HWND h, const Edit& e, int x) {
  const int n = charCount(e.text);
  int prev = 0;
  for (int i = 1; i <= n; ++i) {
    const int w = textWidth(h, e, std::string_view(e.text).substr(0, byteOf(e.text, i))) - e.scrollX + 1;
    if (x < (prev + w) / 2) return i - 1;
    prev = w;
  }
  return n;
}

void paint(HWND h, HDC dc, const Edit& e) {
  RECT cr;
  GetClientRect(h, &cr);
  const bool enabled = IsWindowEnabled(h) != FALSE;
  FillRect(dc, &cr, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
  HGDIOBJ old = e.font ? SelectObject(dc, e.font) : nullptr;
  SetBkMode(dc, 1);  // transparent
  const DWORD style = static_cast<DWORD>(GetWindowLong(h, GWL_STYLE));
  const int full = textWidth(h, e, e.text);
  int x0 = 1 - e.scrollX;
  if (full < cr.right - 2) {
    if ((style & 3) == ES_CENTER) x0 = (cr.right - full) / 2;
    else if ((style & 3) == ES_RIGHT) x0 = cr.right - 1 - full;
  }
  auto xOf = [&](int pos) {
    return x0 + textWidth(h, e, std::string_view(e.text).substr(0, byteOf(e.text, pos)));
  };
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  const int y = std::max(0, (cr.bottom - tm.tmHeight) / 2);
  SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  TextOut(dc, x0, y, e.text.c_str(), static_cast<int>(e.text.size()));
  const int s = selStart(e), t = selEnd(e);
  if (s != t && (e.focus || (style & ES_NOHIDESEL))) {
    RECT sel{xOf(s), y, xOf(t), y + tm.tmHeight};
    FillRect(dc, &sel, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    const std::size_t b0 = byteOf(e.text, s), b1 = byteOf(e.text, t);
    TextOut(dc, sel.left, y, e.text.c_str() + b0, static_cast<int>(b1 - b0));
  }
  if (e.focus) {
    const int cx = xOf(e.caret);
    RECT caret{cx, y, cx + 1, y + tm.tmHeight};
    FillRect(dc, &caret, GetSysColorBrush(COLOR_WINDOWTEXT));
  }
  if (old) SelectObject(dc, old);
}

bool readOnly(HWND h) { return (GetWindowLong(h, GWL_STYLE) & static_cast<LONG>(ES_READONLY)) != 0; }

}  // namespace

LRESULT detail::editProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Edit* e = state(h);
  switch (msg) {
    case WM_NCCREATE: {
      auto* ed = new Edit;
      auto* cs = reinterpret_cast<const CREATESTRUCT*>(l);
      if (cs && cs->lpszName && reinterpret_cast<ULONG_PTR>(cs->lpszName) > 0xFFFF) ed->text = cs->lpszName;
      SetWindowLongPtr(h, 0, reinterpret_cast<LONG_PTR>(ed));
      return DefWindowProc(h, msg, w, l);
    }
    case WM_NCDESTROY:
      delete e;
      SetWindowLongPtr(h, 0, 0);
      return 0;
    default:
      break;
  }
  if (!e) return DefWindowProc(h, msg, w, l);
  switch (msg) {
    case WM_SETTEXT: {
      e->text = l ? reinterpret_cast<const char*>(l) : "";
      e->anchor = e->caret = 0;
      e->scrollX = 0;
      e->modified = false;
      syncWindowText(h, *e);
      InvalidateRect(h, nullptr, TRUE);
      if (notify(h, EN_UPDATE)) notify(h, EN_CHANGE);
      return TRUE;
    }
    case EM_GETSEL: {
      const int s = selStart(*e), t = selEnd(*e);
      if (w) *reinterpret_cast<DWORD*>(w) = static_cast<DWORD>(s);
      if (l) *reinterpret_cast<DWORD*>(l) = static_cast<DWORD>(t);
      return MAKELONG(std::min(s, 0xFFFF), std::min(t, 0xFFFF));
    }
    case EM_SETSEL: {
      const int n = charCount(e->text);
      const int s = static_cast<int>(static_cast<LONG>(w));
      const int t = static_cast<int>(static_cast<LONG>(l));
      if (s == -1) {
        e->anchor = e->caret;  // -1 removes the selection and keeps the caret
      } else {
        const int a = std::clamp(s, 0, n);
        const int b = t < 0 ? n : std::clamp(t, 0, n);
        e->anchor = std::min(a, b);
        e->caret = std::max(a, b);
      }
      scrollToCaret(h, *e);
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    }
    case EM_SCROLLCARET:
      scrollToCaret(h, *e);
      InvalidateRect(h, nullptr, FALSE);
      return TRUE;
    case EM_REPLACESEL:
      replaceSelection(h, *e, l ? reinterpret_cast<const char*>(l) : "", true);
      return 0;
    case EM_SETLIMITTEXT: {
      const auto n = static_cast<LONG>(w);
      e->limit = n <= 0 ? kEditDefaultLimit : n;
      return 0;
    }
    case EM_GETLIMITTEXT:
      return e->limit;
    case EM_GETMODIFY:
      return e->modified ? TRUE : FALSE;
    case EM_SETMODIFY:
      e->modified = w != 0;
      return 0;
    case EM_SETREADONLY: {
      LONG s = GetWindowLong(h, GWL_STYLE);
      SetWindowLong(h, GWL_STYLE, w ? (s | static_cast<LONG>(ES_READONLY)) : (s & ~static_cast<LONG>(ES_READONLY)));
      return TRUE;
    }
    case WM_CHAR: {
      const auto ch = static_cast<char32_t>(w);
      if (readOnly(h)) return 0;
      if (ch == VK_BACK) {
        if (selStart(*e) == selEnd(*e)) {
          if (e->caret == 0) return 0;
          e->anchor = e->caret - 1;
        }
        replaceSelection(h, *e, "", true);
        return 0;
      }
      // Control characters (Tab, Enter, Esc and the rest) are not text.
      if (ch < 0x20 || ch == 0x7F || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return 0;
      std::string one;
      text::appendUtf8(one, ch);
      if (!replaceSelection(h, *e, one, true) && IsWindow(h)) MessageBeep(0);
      return 0;
    }
    case WM_KEYDOWN: {
      const bool shift = GetKeyState(VK_SHIFT) < 0;
      switch (static_cast<int>(w)) {
        case VK_LEFT:
          if (!shift && selStart(*e) != selEnd(*e)) moveCaret(h, *e, selStart(*e), false);
          else moveCaret(h, *e, e->caret - 1, shift);
          return 0;
        case VK_RIGHT:
          if (!shift && selStart(*e) != selEnd(*e)) moveCaret(h, *e, selEnd(*e), false);
          else moveCaret(h, *e, e->caret + 1, shift);
          return 0;
        case VK_HOME:
          moveCaret(h, *e, 0, shift);
          return 0;
        case VK_END:
          moveCaret(h, *e, charCount(e->text), shift);
          return 0;
        case VK_DELETE:
          if (readOnly(h)) return 0;
          if (selStart(*e) == selEnd(*e)) {
            if (e->caret >= charCount(e->text)) return 0;
            e->anchor = e->caret + 1;
          }
          replaceSelection(h, *e, "", true);
          return 0;
        default:
          return 0;
      }
    }
    case WM_SETFOCUS:
      e->focus = true;
      InvalidateRect(h, nullptr, FALSE);
      notify(h, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      e->focus = false;
      InvalidateRect(h, nullptr, FALSE);
      notify(h, EN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != h) SetFocus(h);
      if (!IsWindow(h)) return 0;
      const bool shift = (w & MK_SHIFT) != 0;
      moveCaret(h, *e, positionAt(h, *e, GET_X_LPARAM(l)), shift);
      SetCapture(h);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (GetCapture() == h) moveCaret(h, *e, positionAt(h, *e, GET_X_LPARAM(l)), true);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == h) ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK:
      e->anchor = 0;
      moveCaret(h, *e, charCount(e->text), true);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_SETFONT:
      e->font = reinterpret_cast<HFONT>(w);
      scrollToCaret(h, *e);
      if (l) InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(e->font);
    case WM_ENABLE:
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      if (dc) paint(h, dc, *e);
      EndPaint(h, &ps);
      return 0;
    }
    default:
      return DefWindowProc(h, msg, w, l);
  }
}

}  // namespace plat::win
