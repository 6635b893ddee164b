// Selection by keyboard and mouse, type-ahead, the wheel, column resizing
// and text tips of the list control. See list_view.h.
#include <algorithm>
#include <cstring>
#include <string>

#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/view_model.h"
#include "listctl/store/store.h"
#include "listctl/view/list_view.h"
#include "platform/text/utf8.h"
#include "platform/win/gdi.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

namespace lindra::view {

namespace pw = plat::win;

namespace {

constexpr int kAutoSearch = 86, kColumnSearch = 70, kAllowColResize = 142, kAllowGrpResize = 220,
              kTextTip = 263, kTextTipDelay = 264, kTextTipBack = 266, kTextTipFore = 267;
constexpr int kWheelRows = 3;
constexpr int kBorderSlop = 3;           // pixels either side of a border that grab it
constexpr std::uint32_t kTypeAheadPauseMs = 1000;

bool multiple(const LbxInstance* inst) { return (inst->style & LBS_MULTIPLESEL) && !(inst->style & LBS_EXTENDEDSEL); }
bool extended(const LbxInstance* inst) { return (inst->style & LBS_EXTENDEDSEL) != 0; }

void invalidate(LbxInstance* inst) {
  if (inst->hwnd && !(inst->styleWord & kStyleNoRedraw)) pw::InvalidateRect(inst->hwnd, nullptr, pw::FALSE);
}

// Sends LBN_SELCHANGE when the list notifies; false when the list went away.
bool selChanged(LbxInstance* inst, HWND hwnd) {
  if (inst->style & LBS_NOTIFY) notifyCommand(inst, LBN_SELCHANGE);
  return instanceOf(hwnd) == inst;
}

bool setBit(LbxInstance* inst, int row, bool on) {
  if (lbxIsSelected(inst, row) == on) return false;
  lbxSetSelected(inst, row, on);
  return true;
}

// Selects rows lo..hi and, unless `keep`, clears every other one.
bool selectRange(LbxInstance* inst, int lo, int hi, bool keep) {
  if (lo > hi) std::swap(lo, hi);
  bool changed = false;
  for (int i = 0; i < inst->itemCount; ++i) {
    const bool in = i >= lo && i <= hi;
    if (in) changed |= setBit(inst, i, true);
    else if (!keep) changed |= setBit(inst, i, false);
  }
  return changed;
}

// Moves the caret alone (multiple selection, Ctrl in extended selection).
void moveCaret(LbxInstance* inst, int row) {
  if (row < 0 || row >= inst->itemCount) return;
  inst->curSel = row;
  ensureVisible(inst, row);
  invalidate(inst);
}

struct Cell {
  int row = -1, column = -1;  // column: the position in the property records
  bool header = false, groupHeader = false;
  pw::RECT rect;
};

Cell cellAt(LbxInstance* inst, const Geometry& g, pw::POINT pt) {
  Cell c;
  if (pt.x < g.rows.left || pt.x >= g.rows.right || pt.y < g.client.top || pt.y >= g.rows.bottom) return c;
  const int x = pt.x - static_cast<int>(g.rows.left) + inst->xOffset;
  const int dx = static_cast<int>(g.rows.left) - inst->xOffset;
  for (const Span& s : g.columns)
    if (x >= s.x && x < s.x + s.width) {
      c.column = s.index;
      c.rect.left = dx + s.x;
      c.rect.right = dx + s.x + s.width;
    }
  if (g.columns.empty()) {
    c.rect.left = g.rows.left;
    c.rect.right = g.rows.right;
  }
  if (pt.y < g.rows.top) {
    c.header = true;
    if (pt.y < g.client.top + g.groupRowHeight) {
      for (const Span& s : g.groups)
        if (x >= s.x && x < s.x + s.width) {
          c.groupHeader = true;
          c.column = s.index;
        }
    }
    return c;
  }
  c.row = rowAt(inst, g, pt.y);
  if (c.row >= 0) {
    pw::RECT r;
    itemRect(inst, c.row, &r);
    c.rect.top = r.top;
    c.rect.bottom = r.bottom;
  }
  return c;
}

// The column whose right border lies under x in the header (or anywhere
// with AllowColResize 2), -1 when none.
int columnBorderAt(LbxInstance* inst, const Geometry& g, pw::POINT pt) {
  const int allow = viewValue(inst, kAllowColResize);
  if (allow == 0 || pt.y < g.client.top || pt.y >= g.rows.bottom) return -1;
  if (allow == 1 && pt.y >= g.rows.top) return -1;
  if (pt.y < g.client.top + g.groupRowHeight) return -1;
  const int x = pt.x - static_cast<int>(g.rows.left) + inst->xOffset;
  for (const Span& s : g.columns)
    if (std::abs(x - (s.x + s.width)) <= kBorderSlop) return s.index;
  return -1;
}

bool groupBorderAt(LbxInstance* inst, const Geometry& g, pw::POINT pt) {
  if (viewValue(inst, kAllowGrpResize) == 0 || !g.groupRowHeight) return false;
  if (pt.y < g.client.top || pt.y >= g.client.top + g.groupRowHeight) return false;
  const int x = pt.x - static_cast<int>(g.rows.left) + inst->xOffset;
  return std::any_of(g.groups.begin(), g.groups.end(),
                     [x](const Span& s) { return std::abs(x - (s.x + s.width)) <= kBorderSlop; });
}

pw::POINT pointOf(LPARAM l) { return pw::POINT{pw::GET_X_LPARAM(l), pw::GET_Y_LPARAM(l)}; }

}  // namespace

void selectByUser(LbxInstance* inst, int row, bool extend, bool toggle, bool keepOthers) {
  if (row < 0 || row >= inst->itemCount) return;
  HWND hwnd = inst->hwnd;
  bool changed = false;
  if (multiple(inst)) {
    if (toggle) changed = setBit(inst, row, !lbxIsSelected(inst, row));
    inst->anchor = row;
  } else if (extended(inst)) {
    if (toggle) {
      changed = setBit(inst, row, !lbxIsSelected(inst, row));
      inst->anchor = row;
    } else if (extend) {
      if (inst->anchor < 0 || inst->anchor >= inst->itemCount) inst->anchor = inst->curSel >= 0 ? inst->curSel : row;
      changed = selectRange(inst, inst->anchor, row, keepOthers);
    } else {
      changed = selectRange(inst, row, row, false);
      inst->anchor = row;
    }
  } else {
    changed = row != inst->curSel || !lbxIsSelected(inst, row);
    if (inst->curSel >= 0) lbxSetSelected(inst, inst->curSel, false);
    lbxSetSelected(inst, row, true);
    inst->anchor = row;
  }
  const bool caretMoved = row != inst->curSel;
  inst->curSel = row;
  ensureVisible(inst, row);
  if (changed || caretMoved) invalidate(inst);
  if (changed && hwnd) selChanged(inst, hwnd);
}

void keyboard(LbxInstance* inst, HWND hwnd, unsigned key, unsigned shifts) {
  if (inst->itemCount <= 0) return;
  const bool shift = shifts & 1, ctrl = shifts & 2;
  const Geometry g = geometry(inst);
  const int caret = std::clamp(inst->curSel, 0, inst->itemCount - 1);
  const int page = std::max(1, rowsFrom(inst, g, inst->topIndex, false) - 1);
  int target = -1;
  switch (key) {
    case pw::VK_UP: target = inst->curSel < 0 ? 0 : caret - 1; break;
    case pw::VK_DOWN: target = inst->curSel < 0 ? 0 : caret + 1; break;
    case pw::VK_LEFT: case pw::VK_RIGHT:
      // With a horizontal bar the arrows scroll sideways; otherwise they move as Up and Down.
      if (g.hBar) {
        scroll(inst, false, key == pw::VK_LEFT ? pw::SB_LINELEFT : pw::SB_LINERIGHT, 0);
        return;
      }
      target = inst->curSel < 0 ? 0 : caret + (key == pw::VK_LEFT ? -1 : 1);
      break;
    case pw::VK_PRIOR: target = caret - page; break;
    case pw::VK_NEXT: target = caret + page; break;
    case pw::VK_HOME: target = 0; break;
    case pw::VK_END: target = inst->itemCount - 1; break;
    case pw::VK_SPACE:
      if (multiple(inst)) selectByUser(inst, caret, false, true, true);
      else if (extended(inst)) selectByUser(inst, caret, shift, ctrl || inst->addMode, ctrl || inst->addMode);
      return;
    default:
      return;
  }
  target = std::clamp(target, 0, inst->itemCount - 1);
  if (multiple(inst) || (extended(inst) && (ctrl || inst->addMode) && !shift)) {
    moveCaret(inst, target);
    return;
  }
  if (instanceOf(hwnd) != inst) return;
  selectByUser(inst, target, extended(inst) && shift, false, extended(inst) && ctrl);
}

void typeAhead(LbxInstance* inst, HWND, char32_t ch) {
  const int mode = viewValue(inst, kAutoSearch);
  if (mode == 0 || ch < 0x20 || ch == 0x7F || inst->itemCount <= 0) return;
  std::string utf8;
  plat::text::appendUtf8(utf8, ch);
  const std::uint32_t now = pw::GetTickCount();
  char* buffer = reinterpret_cast<char*>(inst->typeAhead);
  const std::size_t room = sizeof inst->typeAhead - 1;
  std::size_t used = ::strnlen(buffer, room);
  if (mode != 2 || now - inst->typeAheadTick > kTypeAheadPauseMs) used = 0;
  inst->typeAheadTick = now;
  if (used + utf8.size() <= room) {
    std::memcpy(buffer + used, utf8.data(), utf8.size());
    used += utf8.size();
  }
  buffer[used] = '\0';
  const int column = viewValue(inst, kColumnSearch);
  int found = -1;
  if (mode == 3) {
    found = lbxSearch(inst, buffer, 1, column, -1, true);
  } else {
    // A longer buffer may still match the caret item itself.
    const int start = mode == 2 && used > utf8.size() ? inst->curSel - 1 : inst->curSel;
    found = lbxSearch(inst, buffer, 2, column, start, true);
  }
  // Only "Multiple Char" keeps what was typed for the next character.
  if (mode != 2) buffer[0] = '\0';
  if (found < 0) return;
  if (multiple(inst)) moveCaret(inst, found);
  else selectByUser(inst, found, false, false, false);
}

void button(LbxInstance* inst, HWND hwnd, int which, bool doubleClick, LPARAM point) {
  if (which != 1) return;
  const pw::POINT pt = pointOf(point);
  const Geometry g = geometry(inst);
  hideTip(inst);
  if (pw::GetFocus() != hwnd) {
    pw::SetFocus(hwnd);
    if (instanceOf(hwnd) != inst) return;
  }
  // A column border starts a resize.
  if (!doubleClick) {
    const int border = columnBorderAt(inst, g, pt);
    if (border >= 0) {
      inst->resizeColumn = border;
      inst->resizeStartX = pt.x;
      for (const Span& s : g.columns)
        if (s.index == border) inst->resizeStartWidth = s.width;
      pw::SetCapture(hwnd);
      inst->captured = true;
      return;
    }
  }
  const Cell c = cellAt(inst, g, pt);
  inst->hitColumn = c.column >= 0 ? static_cast<std::uint16_t>(c.column) : kNoHandle;
  inst->hitRow = c.row;
  if (c.header) {
    if (!doubleClick && c.column >= 0) notifyCommand(inst, c.groupHeader ? kLbnGroupHeaderClick : kLbnHeaderClick);
    return;
  }
  if (c.row < 0) return;
  if (!doubleClick) {
    pw::SetCapture(hwnd);
    inst->captured = true;
    inst->dragging = !multiple(inst);
    inst->dragRow = c.row;
  }
  const bool toggle = multiple(inst) || (extended(inst) && inst->ctrlDown && !inst->shiftDown);
  selectByUser(inst, c.row, extended(inst) && inst->shiftDown, toggle, extended(inst) && inst->ctrlDown);
  if (instanceOf(hwnd) != inst) return;
  if (doubleClick && (inst->style & LBS_NOTIFY)) notifyCommand(inst, LBN_DBLCLK);
}

void mouseMove(LbxInstance* inst, HWND hwnd, LPARAM point) {
  const pw::POINT pt = pointOf(point);
  if (inst->resizeColumn >= 0 && inst->captured) {
    viewSetColumnWidth(inst, inst->resizeColumn, inst->resizeStartWidth + pt.x - inst->resizeStartX);
    layoutBars(inst);
    pw::InvalidateRect(hwnd, nullptr, pw::FALSE);
    return;
  }
  const Geometry g = geometry(inst);
  if (inst->captured && inst->dragging) {
    // Dragging past the rows scrolls one row and takes the row reached.
    int row;
    if (pt.y < g.rows.top) row = std::max(0, inst->topIndex - 1);
    else if (pt.y >= g.rows.bottom) row = std::min(inst->itemCount - 1, inst->topIndex + rowsFrom(inst, g, inst->topIndex, false));
    else row = rowAt(inst, g, pt.y);
    if (row >= 0 && row != inst->dragRow) {
      inst->dragRow = row;
      selectByUser(inst, row, extended(inst), false, extended(inst) && inst->ctrlDown);
    }
    return;
  }
  // Text tips follow the cell under the mouse.
  const Cell c = cellAt(inst, g, pt);
  if (c.row != inst->tipRow || c.column != inst->tipColumn) {
    hideTip(inst);
    inst->tipRow = c.row;
    inst->tipColumn = c.column;
    inst->tipSince = pw::GetTickCount();
    const int mode = viewValue(inst, kTextTip);
    if (c.row >= 0 && mode != 0 && (mode < 3 || inst->hasFocus))
      pw::SetTimer(hwnd, kTipTimer, static_cast<UINT>(std::max(0, viewValue(inst, kTextTipDelay))), nullptr);
  }
}

void buttonUp(LbxInstance* inst, HWND hwnd, LPARAM) {
  if (pw::GetCapture() == hwnd) pw::ReleaseCapture();
  inst->captured = false;
  inst->dragging = false;
  inst->dragRow = -1;
  inst->resizeColumn = -1;
}

bool wheel(LbxInstance* inst, HWND, UINT msg, WPARAM wParam, LPARAM lParam, HWND forward) {
  if (msg != pw::WM_MOUSEWHEEL) return false;
  if (forward && pw::IsWindow(forward)) {
    pw::SendMessage(forward, msg, wParam, lParam);
    return true;
  }
  inst->wheelRest += static_cast<short>(pw::HIWORD(static_cast<pw::ULONG_PTR>(wParam)));
  const int notches = inst->wheelRest / pw::WHEEL_DELTA;
  inst->wheelRest -= notches * pw::WHEEL_DELTA;
  if (notches) setTop(inst, inst->topIndex - notches * kWheelRows);
  return true;
}

CursorHit hitAtCursor(LbxInstance* inst) {
  CursorHit hit;
  if (!inst->hwnd) return hit;
  pw::POINT pt;
  pw::GetCursorPos(&pt);
  pw::ScreenToClient(inst->hwnd, &pt);
  const Geometry g = geometry(inst);
  const Cell c = cellAt(inst, g, pt);
  if (c.groupHeader) {
    hit.groupHeader = c.column;
    return hit;
  }
  if (c.header) {
    hit.columnHeader = c.column;
  } else {
    hit.row = c.row;
    hit.column = c.row >= 0 ? c.column : -1;
  }
  for (const Span& s : g.columns)
    if (s.index == c.column && (c.row >= 0 || c.header)) hit.group = s.group;
  return hit;
}

pw::HCURSOR borderCursorAt(LbxInstance* inst, pw::POINT pt) {
  const Geometry g = geometry(inst);
  if (groupBorderAt(inst, g, pt)) return groupBorderCursor();
  if (columnBorderAt(inst, g, pt) >= 0) return columnBorderCursor();
  return nullptr;
}

// ---- text tips

namespace {

// The tip window keeps its colours in its two window longs.
LRESULT tipProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case pw::WM_PAINT: {
      pw::PAINTSTRUCT ps;
      pw::HDC dc = pw::BeginPaint(h, &ps);
      if (dc) {
        pw::RECT r;
        pw::GetClientRect(h, &r);
        pw::HBRUSH b = pw::CreateSolidBrush(pw::TranslateColor(static_cast<pw::COLORREF>(pw::GetWindowLongPtr(h, 0))));
        pw::FillRect(dc, &r, b);
        pw::DeleteObject(b);
        pw::HBRUSH edge = pw::CreateSolidBrush(pw::TranslateColor(pw::SYSCOLOR_REF_BIT | pw::COLOR_WINDOWFRAME));
        pw::FrameRect(dc, &r, edge);
        pw::DeleteObject(edge);
        const auto font = reinterpret_cast<pw::HFONT>(pw::GetWindowLongPtr(h, static_cast<int>(2 * sizeof(void*))));
        pw::HGDIOBJ old = font ? pw::SelectObject(dc, font) : nullptr;
        pw::SetBkMode(dc, pw::TRANSPARENT);
        pw::SetTextColor(dc, pw::TranslateColor(static_cast<pw::COLORREF>(pw::GetWindowLongPtr(h, sizeof(void*)))));
        char text[kTipTextSize];
        const int n = pw::GetWindowText(h, text, sizeof text);
        pw::InflateRect(&r, -3, -1);
        pw::DrawText(dc, text, n, &r, pw::DT_SINGLELINE | pw::DT_VCENTER | pw::DT_NOPREFIX);
        if (old) pw::SelectObject(dc, old);
      }
      pw::EndPaint(h, &ps);
      return 0;
    }
    case pw::WM_MOUSEACTIVATE:
      return pw::MA_NOACTIVATE;
    case pw::WM_NCHITTEST:
      return pw::HTTRANSPARENT;
    default:
      return pw::DefWindowProc(h, msg, w, l);
  }
}

void showTip(LbxInstance* inst, HWND hwnd, const Cell& c) {
  LbxTipRequest req{};
  std::string text;
  lbxItemText(inst, c.row, c.column, &text);
  req.left = c.rect.left;
  req.top = c.rect.top;
  req.right = c.rect.right;
  req.bottom = c.rect.bottom;
  req.column = static_cast<std::int16_t>(c.column);
  req.row = c.row;
  const std::size_t n = plat::text::cutToBytes(text, kTipTextSize - 1).size();
  std::memcpy(req.text, text.data(), n);
  req.text[n] = '\0';

  pw::HDC dc = pw::GetDC(hwnd);
  pw::SIZE size{0, 0};
  if (dc) {
    pw::HGDIOBJ old = inst->hfont ? pw::SelectObject(dc, inst->hfont) : nullptr;
    pw::GetTextExtentPoint32(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (old) pw::SelectObject(dc, old);
    pw::ReleaseDC(hwnd, dc);
  }
  // By itself the list offers a tip only for a text that its cell cuts.
  req.result = size.cx + 4 > c.rect.right - c.rect.left ? 1 : 0;
  if (HWND target = notifyTargetOf(inst)) {
    pw::SendMessage(target, kNotifyTipText, inst->controlId, reinterpret_cast<LPARAM>(&req));
    if (instanceOf(hwnd) != inst) return;
  }
  req.text[kTipTextSize - 1] = '\0';
  if (!req.result || !req.text[0]) return;

  if (dc = pw::GetDC(hwnd); dc) {
    pw::HGDIOBJ old = inst->hfont ? pw::SelectObject(dc, inst->hfont) : nullptr;
    pw::GetTextExtentPoint32(dc, req.text, static_cast<int>(std::strlen(req.text)), &size);
    if (old) pw::SelectObject(dc, old);
    pw::ReleaseDC(hwnd, dc);
  }
  pw::POINT at{c.rect.left, c.rect.top};
  pw::ClientToScreen(hwnd, &at);
  const int mode = viewValue(inst, kTextTip);
  if (mode == 2 || mode == 4) {  // floating: below the mouse
    pw::GetCursorPos(&at);
    at.y += 20;
  }
  const int w = size.cx + 8, h = std::max<int>(size.cy, inst->rowHeight) + 2;
  HWND tip = pw::CreateWindowEx(0, kTipClass, req.text, pw::WS_POPUP, at.x, at.y, w, h, hwnd, nullptr,
                                libraryModule(), nullptr);
  if (!tip) return;
  pw::SetWindowLongPtr(tip, 0, static_cast<pw::LONG_PTR>(static_cast<std::uint32_t>(viewValue(inst, kTextTipBack))));
  pw::SetWindowLongPtr(tip, sizeof(void*), static_cast<pw::LONG_PTR>(static_cast<std::uint32_t>(viewValue(inst, kTextTipFore))));
  pw::SetWindowLongPtr(tip, static_cast<int>(2 * sizeof(void*)), reinterpret_cast<pw::LONG_PTR>(inst->hfont));
  pw::SetWindowPos(tip, pw::HWND_TOPMOST, 0, 0, 0, 0,
                   pw::SWP_NOMOVE | pw::SWP_NOSIZE | pw::SWP_NOACTIVATE | pw::SWP_SHOWWINDOW);
  inst->tipWindow = tip;
}

}  // namespace

void tipTick(LbxInstance* inst, HWND hwnd) {
  pw::KillTimer(hwnd, kTipTimer);
  if (inst->captured) return;
  pw::POINT pt;
  pw::GetCursorPos(&pt);
  pw::ScreenToClient(hwnd, &pt);
  pw::RECT client{};
  pw::GetClientRect(hwnd, &client);
  const Geometry g = geometry(inst);
  const Cell c = cellAt(inst, g, pt);
  const bool onCell = pw::PtInRect(&client, pt) && c.row >= 0 && c.row == inst->tipRow && c.column == inst->tipColumn;
  if (inst->tipWindow) {
    // The list hears of no move once the mouse is outside it: while a tip
    // shows, the timer watches the mouse, and the tip goes when the mouse
    // has left its cell.
    if (onCell) {
      pw::SetTimer(hwnd, kTipTimer, kTipWatchMs, nullptr);
    } else {
      hideTip(inst);
      inst->tipRow = inst->tipColumn = -1;
    }
    return;
  }
  if (!onCell) return;
  showTip(inst, hwnd, c);
  if (inst->tipWindow) pw::SetTimer(hwnd, kTipTimer, kTipWatchMs, nullptr);
}

void hideTip(LbxInstance* inst) {
  if (inst->tipWindow && pw::IsWindow(inst->tipWindow)) pw::DestroyWindow(inst->tipWindow);
  inst->tipWindow = nullptr;
}

bool registerTipClass(pw::HINSTANCE module) {
  pw::WNDCLASS wc;
  wc.style = pw::CS_GLOBALCLASS | pw::CS_SAVEBITS;
  wc.lpfnWndProc = tipProc;
  wc.cbWndExtra = static_cast<int>(3 * sizeof(void*));
  wc.hInstance = module;
  wc.hCursor = pw::LoadCursor(nullptr, pw::MAKEINTRESOURCE(pw::IDC_ARROW));
  wc.lpszClassName = kTipClass;
  return pw::RegisterClass(&wc) != 0;
}

void unregisterTipClass(pw::HINSTANCE module) { pw::UnregisterClass(kTipClass, module); }

}  // namespace lindra::view
