#include "listctl/combo/combo.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "listctl/props/prop_records.h"
#include "listctl/props/property_table.h"
#include "listctl/store/store.h"
#include "listctl/view/list_view.h"
#include "platform/text/utf8.h"
#include "platform/win/edit.h"
#include "platform/win/gdi.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

namespace lindra {

namespace pw = plat::win;

namespace {

constexpr std::uint32_t LBS_OWNERDRAWVARIABLE = 0x20, LBS_HASSTRINGS = 0x40, LBS_NOINTEGRALHEIGHT = 0x100,
                        LBS_DISABLENOSCROLL = 0x1000;
constexpr LRESULT kOk = 0;
constexpr int kDefaultEditLimit = 150;
constexpr WPARAM kEnableClickEvent = 251;

struct ComboState {
  int combos = 0;
  pw::WNDPROC editBase = nullptr;  // the "Edit" procedure the edit child builds on
  HWND dropped = nullptr;          // the combo whose list is open
  pw::HHOOK hook = nullptr;
};

ComboState& S() {
  static ComboState s;
  return s;
}

// ---------------------------------------------------------------- helpers

HWND comboNotifyTarget(const CbxInstance* c) {
  if (c->notifyTarget && pw::IsWindow(c->notifyTarget)) return c->notifyTarget;
  if (c->sendToSelf) return c->hwnd;
  return pw::GetParent(c->hwnd);
}

// WM_COMMAND to the notify target; false when the combo went away meanwhile.
bool notify(CbxInstance* c, unsigned code) {
  HWND self = c->hwnd;
  HWND target = comboNotifyTarget(c);
  if (target && target != self)
    pw::SendMessage(target, pw::WM_COMMAND, pw::MAKEWPARAM(pw::GetDlgCtrlID(self), static_cast<int>(code)),
                    reinterpret_cast<LPARAM>(self));
  return comboOf(self) == c;
}

LbxInstance* listOf(const CbxInstance* c) { return c->list ? instanceOf(c->list) : nullptr; }

LRESULT toList(CbxInstance* c, UINT msg, WPARAM w, LPARAM l) {
  return c->list && pw::IsWindow(c->list) ? pw::SendMessage(c->list, msg, w, l) : CB_ERR;
}

bool hasFocus(const CbxInstance* c) {
  HWND f = pw::GetFocus();
  return f && (f == c->hwnd || f == c->edit);
}

char* poolCopy(std::string_view s) {
  auto* p = static_cast<char*>(PoolAlloc(libraryPool(), s.size() + 1, kAllocZero));
  if (p) std::memcpy(p, s.data(), s.size());
  return p;
}

void freeString(char*& p) {
  if (p) PoolFree(p);
  p = nullptr;
}

std::string comboText(const CbxInstance* c) {
  if (c->edit) {
    const int n = pw::GetWindowTextLength(c->edit);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    const int got = pw::GetWindowText(c->edit, s.data(), n + 1);
    s.resize(static_cast<std::size_t>(std::max(got, 0)));
    return s;
  }
  return c->paintedText ? std::string(c->paintedText) : std::string();
}

// The text an item shows in the edit: ColumnEdit's cell, or the whole item
// text when ColumnEdit is -1 or names no column.
bool itemShownText(CbxInstance* c, int index, std::string* out) {
  LbxInstance* li = listOf(c);
  if (!li) return false;
  const int col = c->columnEdit;
  if (col >= 0 && col < li->store.columnCount) return lbxItemText(li, index, col, out);
  if (!lbxItemText(li, index, -1, out)) return false;
  // Empty cells at the end add nothing to the text.
  const char sep = li->store.separator ? static_cast<char>(li->store.separator) : '\t';
  if (li->store.columnCount > 1)
    while (!out->empty() && out->back() == sep) out->pop_back();
  return true;
}

void invalidateTextArea(CbxInstance* c) {
  if (!c->redrawOff) pw::InvalidateRect(c->hwnd, nullptr, pw::FALSE);
}

// Writes the combo text. Answers whether the text changed.
bool writeText(CbxInstance* c, std::string_view text) {
  if (comboText(c) == text) return false;
  if (c->edit) {
    const std::string copy(text);
    c->editUpdating = true;
    pw::SetWindowText(c->edit, copy.c_str());
    if (comboOf(c->hwnd) != c) return true;
    c->editUpdating = false;
    c->lastEditLength = static_cast<std::int32_t>(plat::text::countChars(text));
    return true;
  }
  char* fresh = text.empty() ? nullptr : poolCopy(text);
  if (!text.empty() && !fresh) return false;
  freeString(c->paintedText);
  c->paintedText = fresh;
  invalidateTextArea(c);
  return true;
}

void selectWholeEdit(CbxInstance* c) {
  if (!c->edit) return;
  pw::SendMessage(c->edit, pw::EM_SETSEL, 0, -1);
  pw::SendMessage(c->edit, pw::EM_SCROLLCARET, 0, 0);
}

// Moves the list's current item without the list reporting it back.
void setListCurrent(CbxInstance* c, int index) {
  const bool was = c->suppressSel;
  c->suppressSel = true;
  toList(c, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  c->suppressSel = was;
}

int visibleRows(CbxInstance* c) {
  LbxInstance* li = listOf(c);
  if (!li || li->rowHeight <= 0) return 1;
  pw::RECT r;
  pw::GetClientRect(c->list, &r);
  return std::max(1, (static_cast<int>(r.bottom) - li->headerHeight) / li->rowHeight);
}

void scrollIntoView(CbxInstance* c, int index) {
  LbxInstance* li = listOf(c);
  if (!li || index < 0) return;
  const int rows = visibleRows(c);
  if (index < li->topIndex) toList(c, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
  else if (index >= li->topIndex + rows) toList(c, LB_SETTOPINDEX, static_cast<WPARAM>(index - rows + 1), 0);
}

// After a change of the list's items: the remembered index follows the list's
// current item when both named the same one, and the shown text is taken
// again from it.
template <typename Fn>
LRESULT changeItems(CbxInstance* c, Fn&& fn) {
  LbxInstance* li = listOf(c);
  const bool same = li && c->remembered == li->curSel;
  const LRESULT r = fn();
  li = listOf(c);
  if (!li) return r;
  if (same) c->remembered = li->curSel;
  else if (c->remembered >= li->itemCount) c->remembered = -1;
  std::string text;
  if (c->remembered >= 0 && itemShownText(c, c->remembered, &text)) writeText(c, text);
  return r;
}

// ---------------------------------------------------------------- layout

int fontLineHeight(HWND h, pw::HFONT font) {
  pw::HDC dc = pw::GetDC(h);
  if (!dc) return 16;
  pw::HGDIOBJ old = font ? pw::SelectObject(dc, font) : nullptr;
  pw::TEXTMETRIC tm;
  pw::GetTextMetrics(dc, &tm);
  if (old) pw::SelectObject(dc, old);
  pw::ReleaseDC(h, dc);
  return tm.tmHeight + tm.tmExternalLeading;
}

// The height the edit part wants: EditHeight, or the line height with the
// top and bottom margins.
int editPartHeight(const CbxInstance* c) {
  if (c->editHeight > 0) return c->editHeight;
  return c->editLineHeight + c->editMargin[1] + c->editMargin[3];
}

// The combo's own frame: the rectangle it surrounds (the whole combo, or a
// Simple Combo's edit part) and the content inside it. The frame's
// innermost ring is shared with the edit margins and the button, which
// have always sat on a one-line frame; a wider frame moves them in by the
// rest.
struct FrameLayout {
  pw::RECT outer, inner;
};

FrameLayout frameLayout(const CbxInstance* c) {
  pw::RECT cr;
  pw::GetClientRect(c->hwnd, &cr);
  const view::FrameInsets in = view::frameInsets(c->frame);
  const int l = std::max(0, in.left - 1), t = std::max(0, in.top - 1), r = std::max(0, in.right - 1),
            b = std::max(0, in.bottom - 1);
  FrameLayout f;
  f.outer = cr;
  if (c->style == kSimpleCombo) f.outer.bottom = std::min<pw::LONG>(cr.bottom, editPartHeight(c) + t + b);
  f.inner = pw::RECT{l, t, std::max<pw::LONG>(l, f.outer.right - r), std::max<pw::LONG>(t, f.outer.bottom - b)};
  return f;
}

void layout(CbxInstance* c) {
  pw::RECT cr;
  pw::GetClientRect(c->hwnd, &cr);
  const int width = cr.right, height = cr.bottom;
  const FrameLayout f = frameLayout(c);
  const int part = f.inner.bottom;
  const int button = c->style == kSimpleCombo ? 0 : c->buttonWidth;
  c->buttonRect = {std::max<pw::LONG>(f.inner.left, f.inner.right - button), f.inner.top, f.inner.right, part};
  // The edit inside its margins, placed vertically by EditAlignV.
  pw::RECT area{f.inner.left + c->editMargin[0], f.inner.top + c->editMargin[1], c->buttonRect.left - c->editMargin[2],
                part - c->editMargin[3]};
  area.right = std::max(area.left, area.right);
  area.bottom = std::max(area.top, area.bottom);
  const int line = std::min<int>(c->editLineHeight, area.bottom - area.top);
  int top = area.top;
  if (c->editAlignV == 1) top = area.top + (area.bottom - area.top - line) / 2;
  else if (c->editAlignV == 2) top = area.bottom - line;
  c->editRect = {area.left, top, area.right, top + line};
  if (c->edit)
    pw::MoveWindow(c->edit, c->editRect.left, c->editRect.top, c->editRect.right - c->editRect.left,
                   c->editRect.bottom - c->editRect.top, pw::TRUE);
  if (c->style == kSimpleCombo && c->list) {
    const int gap = c->comboGap == -2 ? 0 : c->comboGap;
    const int y = std::min<int>(height, f.outer.bottom + std::max(gap, 0));
    const int x = std::max(0, c->listLeftOffset);
    const int w = c->listWidth > 0 ? c->listWidth : width - x;
    pw::MoveWindow(c->list, x, y, std::max(0, w), std::max(0, height - y), pw::TRUE);
  }
  invalidateTextArea(c);
}

void requestLayout(CbxInstance* c) {
  if (c->layoutPending) return;
  c->layoutPending = 1;
  pw::PostMessage(c->hwnd, kCbxLayout, 0, 0);
}

// ---------------------------------------------------------------- drop-down

void showDropDown(CbxInstance* c, bool open);

LRESULT hookProc(int code, WPARAM w, LPARAM l) {
  ComboState& s = S();
  const pw::HHOOK self = s.hook;
  if (code == pw::HC_ACTION && s.dropped) {
    const UINT msg = static_cast<UINT>(w);
    if (msg == pw::WM_LBUTTONDOWN || msg == pw::WM_NCLBUTTONDOWN || msg == pw::WM_LBUTTONDBLCLK ||
        msg == pw::WM_NCLBUTTONDBLCLK) {
      auto* mh = reinterpret_cast<const pw::MOUSEHOOKSTRUCT*>(l);
      CbxInstance* c = comboOf(s.dropped);
      if (c && mh && mh->hwnd != c->hwnd && mh->hwnd != c->list && !pw::IsChild(c->list, mh->hwnd))
        showDropDown(c, false);  // the click still goes on
    }
  }
  return pw::CallNextHookEx(self, code, w, l);
}

void removeHook() {
  ComboState& s = S();
  if (s.hook) pw::UnhookWindowsHookEx(s.hook);
  s.hook = nullptr;
  s.dropped = nullptr;
}

// Height of `rows` rows of the list, with its frame and header.
int listHeight(CbxInstance* c, LbxInstance* li, int rows) {
  int h = 0;
  for (int i = 0; i < rows; ++i) {
    const int own = lbxRowHeight(li, li->topIndex + i);
    h += own >= 0 ? own : li->rowHeight;
  }
  pw::RECT wr, cr;
  pw::GetWindowRect(c->list, &wr);
  pw::GetClientRect(c->list, &cr);
  const int frame = (wr.bottom - wr.top) - cr.bottom;
  return h + std::max(frame, 0) + std::max(li->headerHeight, 0);
}

void openList(CbxInstance* c) {
  HWND self = c->hwnd;
  std::int32_t cancel = 0;
  pw::SendMessage(self, kCbxBeforeDropDown, 0, reinterpret_cast<LPARAM>(&cancel));
  if (comboOf(self) != c || cancel != 0) return;
  if (!c->notifySuppressed && !notify(c, CBN_DROPDOWN)) return;
  LbxInstance* li = listOf(c);
  if (!li) return;
  const int count = li->itemCount;
  if (count <= 0) return;  // an empty list stays closed

  pw::RECT combo;
  pw::GetWindowRect(self, &combo);
  const int screenW = pw::GetSystemMetrics(pw::SM_CXSCREEN);
  const int screenH = pw::GetSystemMetrics(pw::SM_CYSCREEN);
  const int width = c->listWidth > 0 ? c->listWidth : static_cast<int>(combo.right - combo.left);
  int left = std::max(0, static_cast<int>(combo.left) + std::max(0, c->listLeftOffset));
  if (left + width > screenW) left = std::max(0, screenW - width);

  // The current item is the remembered one; the rows shown start at it
  // where the list is long enough.
  const int rows = std::min<int>(count, std::max<int>(1, c->maxDrop));
  // Sized once before measuring, so that its frame can be told from its
  // client area.
  pw::SetWindowPos(c->list, nullptr, 0, 0, width, 100, pw::SWP_NOMOVE | pw::SWP_NOZORDER | pw::SWP_NOACTIVATE);
  setListCurrent(c, c->remembered >= 0 && c->remembered < count ? c->remembered : -1);
  const int top = std::max(0, std::min(c->remembered, count - rows));
  toList(c, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  const int height = listHeight(c, li, rows);

  int y = combo.bottom;
  if (c->listPosition != 0 || y + height > screenH) y = std::max(0, static_cast<int>(combo.top) - height);
  c->dropped = 1;
  pw::SetWindowPos(c->list, pw::HWND_TOPMOST, left, y, width, height, pw::SWP_NOACTIVATE | pw::SWP_SHOWWINDOW);
  pw::RedrawWindow(c->list, nullptr, nullptr, pw::RDW_FRAME | pw::RDW_INVALIDATE);
  ComboState& s = S();
  if (s.dropped && s.dropped != self)
    if (CbxInstance* other = comboOf(s.dropped)) showDropDown(other, false);
  if (!s.hook) s.hook = pw::SetWindowsHookEx(pw::WH_MOUSE, hookProc, nullptr, pw::GetCurrentThreadId());
  s.dropped = self;
  invalidateTextArea(c);
}

void closeList(CbxInstance* c) {
  c->dropped = 0;
  if (pw::GetCapture() == c->list) pw::ReleaseCapture();
  pw::SetWindowPos(c->list, pw::HWND_NOTOPMOST, 0, 0, 0, 0,
                   pw::SWP_NOMOVE | pw::SWP_NOSIZE | pw::SWP_NOACTIVATE | pw::SWP_HIDEWINDOW);
  if (S().dropped == c->hwnd) removeHook();
  if (!c->notifySuppressed && !notify(c, CBN_CLOSEUP)) return;
  // The Drop-Down List's text area shows the focus again.
  invalidateTextArea(c);
}

void showDropDown(CbxInstance* c, bool open) {
  if (c->style == kSimpleCombo || !c->list) return;
  if ((c->dropped != 0) == open) return;
  if (open) {
    if (!hasFocus(c)) return;
    openList(c);
  } else {
    closeList(c);
  }
}

void toggleDropDown(CbxInstance* c) { showDropDown(c, c->dropped == 0); }

// ---------------------------------------------------------------- selection

// The list's current item becomes the shown one.
void takeListSelection(CbxInstance* c) {
  LbxInstance* li = listOf(c);
  if (!li) return;
  c->remembered = li->curSel;
  std::string text;
  if (li->curSel >= 0 && itemShownText(c, li->curSel, &text)) writeText(c, text);
  if (comboOf(c->hwnd) != c) return;
  if (hasFocus(c)) selectWholeEdit(c);
  notify(c, CBN_SELCHANGE);
}

// Moves the current list item by `delta` (clamped) and takes it as the
// selection; the first move from no item lands on the first item.
void stepSelection(CbxInstance* c, int delta, bool toEnd = false) {
  LbxInstance* li = listOf(c);
  if (!li || li->itemCount == 0) return;
  int to;
  if (toEnd) to = delta < 0 ? 0 : li->itemCount - 1;
  else if (li->curSel < 0) to = delta < 0 ? li->itemCount - 1 : 0;
  else to = std::clamp(li->curSel + delta, 0, li->itemCount - 1);
  if (to == li->curSel && c->remembered == to) return;
  setListCurrent(c, to);
  scrollIntoView(c, to);
  takeListSelection(c);
}

int findPrefix(CbxInstance* c, const std::string& text) {
  LbxInstance* li = listOf(c);
  if (!li || text.empty()) return -1;
  const int col = c->columnEdit >= 0 && c->columnEdit < li->store.columnCount ? c->columnEdit : -1;
  return lbxSearch(li, text.c_str(), 2, col, -1, true);
}

// Puts the found item's text into the edit with the part beyond what was
// typed selected.
void fillFrom(CbxInstance* c, int index, const std::string& typed) {
  std::string full;
  if (!itemShownText(c, index, &full)) return;
  const std::size_t typedChars = plat::text::countChars(typed);
  if (plat::text::countChars(full) <= typedChars) return;
  writeText(c, full);
  if (comboOf(c->hwnd) != c || !c->edit) return;
  // What the user typed is the measure for the next change.
  c->lastEditLength = static_cast<std::int32_t>(typedChars);
  pw::SendMessage(c->edit, pw::EM_SETSEL, typedChars, -1);
}

void editChanged(CbxInstance* c) {
  const std::string text = comboText(c);
  const auto chars = static_cast<std::int32_t>(plat::text::countChars(text));
  // Only typing that adds to the text is completed: after Backspace or
  // Delete the completion would put back what the user just removed.
  const bool grew = chars > c->lastEditLength;
  c->lastEditLength = chars;
  pw::KillTimer(c->hwnd, kAutoFillTimer);
  freeString(c->fillPrefix);
  const int found = findPrefix(c, text);
  setListCurrent(c, found);
  c->remembered = found;
  if (found >= 0) {
    scrollIntoView(c, found);
    LbxInstance* li = listOf(c);
    const bool columnsOk = li && (li->store.columnCount == 0 || c->columnEdit >= 0);
    if (c->autoSearchFill && grew && columnsOk && c->edit) {
      if (c->autoSearchFillDelay <= 0) {
        fillFrom(c, found, text);
        if (comboOf(c->hwnd) != c) return;
      } else {
        c->fillPrefix = poolCopy(text);
        c->fillItem = found;
        pw::SetTimer(c->hwnd, kAutoFillTimer, static_cast<UINT>(c->autoSearchFillDelay), nullptr);
      }
    }
  }
  notify(c, CBN_EDITCHANGE);
}

void delayedFill(CbxInstance* c) {
  pw::KillTimer(c->hwnd, kAutoFillTimer);
  if (!c->fillPrefix) return;
  const std::string armed = c->fillPrefix;
  freeString(c->fillPrefix);
  // The text may have been set another way since the timer started.
  if (comboText(c) != armed) return;
  fillFrom(c, c->fillItem, armed);
}

// ---------------------------------------------------------------- keys

std::uint32_t keyCode(WPARAM key, LPARAM lParam, bool withShifts) {
  std::uint32_t code = static_cast<std::uint32_t>(key & 0xFFFF);
  if (withShifts) {
    if (pw::GetKeyState(pw::VK_SHIFT) < 0) code |= 0x10000;
    if (pw::GetKeyState(pw::VK_CONTROL) < 0) code |= 0x20000;
    if (lParam & (1 << 29)) code |= 0x40000;
  }
  return code;
}

// The 0x702 / 0x703 filters: the target may change or swallow the key.
LRESULT keyFilter(CbxInstance* c, UINT msg, WPARAM key, LPARAM lParam) {
  if (!c->keyEvents) return static_cast<LRESULT>(key & 0xFFFF);
  const bool isKey = msg == kCbxKeyFilter;
  std::uint32_t code = keyCode(key, lParam, isKey);
  HWND target = comboNotifyTarget(c);
  if (target && target != c->hwnd)
    pw::SendMessage(target, isKey ? kCbxKeyEvent : kCbxCharEvent, reinterpret_cast<WPARAM>(c->hwnd),
                    reinterpret_cast<LPARAM>(&code));
  return static_cast<LRESULT>(code & 0xFFFF);
}

// Keys for the drop-down list: caret movement in the list.
bool listKey(CbxInstance* c, int key) {
  switch (key) {
    case pw::VK_UP: stepSelection(c, -1); return true;
    case pw::VK_DOWN: stepSelection(c, 1); return true;
    case pw::VK_PRIOR: stepSelection(c, -std::max(1, visibleRows(c) - 1)); return true;
    case pw::VK_NEXT: stepSelection(c, std::max(1, visibleRows(c) - 1)); return true;
    case pw::VK_HOME: stepSelection(c, -1, true); return true;
    case pw::VK_END: stepSelection(c, 1, true); return true;
    default: return false;
  }
}

// Enter or Esc on an open list: closes it; the list's current item is the
// selection.
void acceptList(CbxInstance* c) {
  LbxInstance* li = listOf(c);
  const bool changed = li && li->curSel != c->remembered;
  showDropDown(c, false);
  if (changed && comboOf(c->hwnd) == c) takeListSelection(c);
}

// Keys on the combo itself (the Drop-Down List style has the focus there).
void comboKey(CbxInstance* c, WPARAM key, LPARAM lParam) {
  HWND self = c->hwnd;
  const int k = static_cast<int>(pw::SendMessage(self, kCbxKeyFilter, key, lParam));
  if (comboOf(self) != c || k == 0) return;
  const bool alt = (lParam & (1 << 29)) != 0 || pw::GetKeyState(pw::VK_MENU) < 0;
  if (alt) {
    if (k == pw::VK_SPACE) showDropDown(c, false);
    else if (k == pw::VK_UP || k == pw::VK_DOWN) toggleDropDown(c);
    return;
  }
  if ((k == pw::VK_RETURN || k == pw::VK_ESCAPE) && c->dropped) {
    acceptList(c);
    return;
  }
  if (k == pw::VK_F4) {
    toggleDropDown(c);
    return;
  }
  listKey(c, k);
}

// Keys on the edit child; answers true when the edit must not see the key.
bool editKey(CbxInstance* c, int k, LPARAM lParam) {
  const bool alt = (lParam & (1 << 29)) != 0 || pw::GetKeyState(pw::VK_MENU) < 0;
  if (alt && (k == pw::VK_UP || k == pw::VK_DOWN)) {
    toggleDropDown(c);
    return true;
  }
  switch (k) {
    case pw::VK_RETURN:
    case pw::VK_ESCAPE:
      if (c->dropped) acceptList(c);
      return true;
    case pw::VK_F4:
      toggleDropDown(c);
      return true;
    case pw::VK_PRIOR:
    case pw::VK_NEXT:
    case pw::VK_UP:
    case pw::VK_DOWN:
      listKey(c, k);
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------- painting

void paintArrow(pw::HDC dc, const pw::RECT& r, bool enabled) {
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  pw::HBRUSH mark = pw::GetSysColorBrush(enabled ? pw::COLOR_BTNTEXT : pw::COLOR_GRAYTEXT);
  for (int i = 0; i < 4; ++i) {
    pw::RECT line{cx - 3 + i, cy - 1 + i, cx + 4 - i, cy + i};
    pw::FillRect(dc, &line, mark);
  }
}

void paint(CbxInstance* c, pw::HDC dc) {
  pw::RECT cr;
  pw::GetClientRect(c->hwnd, &cr);
  const bool enabled = pw::IsWindowEnabled(c->hwnd) != pw::FALSE;
  pw::HBRUSH gray = pw::CreateSolidBrush(pw::TranslateColor(c->grayAreaColor));
  pw::FillRect(dc, &cr, gray);
  pw::DeleteObject(gray);
  // The edit part: the text's back colour inside the combo's frame.
  const FrameLayout f = frameLayout(c);
  pw::RECT part{f.inner.left, f.inner.top, c->buttonRect.left, c->buttonRect.bottom};
  if (c->style == kSimpleCombo) part.right = f.inner.right;
  pw::HBRUSH back = pw::CreateSolidBrush(pw::TranslateColor(c->backColor));
  pw::FillRect(dc, &part, back);
  pw::DeleteObject(back);
  view::paintFrameRecord(c->frame, dc, f.outer, c->focused);
  if (c->style != kSimpleCombo) {
    pw::RECT b = c->buttonRect;
    pw::FillRect(dc, &b, pw::GetSysColorBrush(pw::COLOR_BTNFACE));
    pw::DrawEdge(dc, &b, c->buttonPressed ? pw::EDGE_SUNKEN : pw::EDGE_RAISED, pw::BF_RECT);
    paintArrow(dc, b, enabled);
  }
  if (!c->edit) {
    // The Drop-Down List's text area, highlighted while it has the focus.
    pw::RECT t{f.inner.left + 1, f.inner.top + 1, c->buttonRect.left, f.inner.bottom - 1};
    const bool focus = pw::GetFocus() == c->hwnd && !c->dropped;
    pw::HBRUSH back = focus ? pw::GetSysColorBrush(pw::COLOR_HIGHLIGHT)
                            : pw::CreateSolidBrush(pw::TranslateColor(c->backColor));
    pw::FillRect(dc, &t, back);
    if (!focus) pw::DeleteObject(back);
    pw::HGDIOBJ old = c->font ? pw::SelectObject(dc, c->font) : nullptr;
    pw::SetBkMode(dc, 1);
    pw::SetTextColor(dc, focus ? pw::GetSysColor(pw::COLOR_HIGHLIGHTTEXT)
                               : enabled ? pw::TranslateColor(c->foreColor) : pw::GetSysColor(pw::COLOR_GRAYTEXT));
    const std::string text = comboText(c);
    pw::RECT tr{c->editRect.left + 1, f.inner.top, c->editRect.right, f.inner.bottom};
    pw::DrawText(dc, text.c_str(), static_cast<int>(text.size()), &tr,
                 pw::DT_SINGLELINE | pw::DT_VCENTER | pw::DT_NOPREFIX);
    if (old) pw::SelectObject(dc, old);
  }
}

// ---------------------------------------------------------------- mouse


// A point of `from`'s client area in the combo's client coordinates.
LPARAM comboPoint(CbxInstance* c, HWND from, LPARAM l) {
  pw::POINT pt{pw::GET_X_LPARAM(l), pw::GET_Y_LPARAM(l)};
  pw::MapWindowPoints(from, c->hwnd, &pt, 1);
  return pw::MAKELPARAM(pt.x, pt.y);
}

bool isMouseMessage(UINT m) { return m >= pw::WM_MOUSEMOVE && m <= pw::WM_MBUTTONDBLCLK; }

// Mouse messages on the edit and the list go to the notify target as 0x554.
void reportMouse(CbxInstance* c, HWND from, UINT msg, LPARAM l) {
  if (!c->mouseEvents) return;
  HWND target = comboNotifyTarget(c);
  if (target && target != c->hwnd) pw::SendMessage(target, kCbxMouseEvent, msg, comboPoint(c, from, l));
}

bool overList(CbxInstance* c, LPARAM l) {
  if (!c->dropped || !c->list) return false;
  pw::POINT pt{pw::GET_X_LPARAM(l), pw::GET_Y_LPARAM(l)};
  pw::ClientToScreen(c->hwnd, &pt);
  pw::RECT r;
  pw::GetWindowRect(c->list, &r);
  return pw::PtInRect(&r, pt) != pw::FALSE;
}

void comboMouse(CbxInstance* c, UINT msg, LPARAM l) {
  HWND self = c->hwnd;
  switch (msg) {
    case pw::WM_LBUTTONDOWN:
    case pw::WM_LBUTTONDBLCLK: {
      if (!hasFocus(c)) {
        pw::SetFocus(self);
        if (comboOf(self) != c) return;
      }
      pw::POINT pt{pw::GET_X_LPARAM(l), pw::GET_Y_LPARAM(l)};
      if (c->style == kSimpleCombo) return;
      if (c->style != kDropDownList && !pw::PtInRect(&c->buttonRect, pt)) return;
      toggleDropDown(c);
      if (comboOf(self) != c) return;
      c->buttonPressed = true;
      pw::SetCapture(self);
      invalidateTextArea(c);
      return;
    }
    case pw::WM_MOUSEMOVE:
      if (pw::GetCapture() == self && overList(c, l)) {
        // The press goes on in the list: it tracks the item under the mouse.
        pw::POINT pt{pw::GET_X_LPARAM(l), pw::GET_Y_LPARAM(l)};
        pw::MapWindowPoints(self, c->list, &pt, 1);
        c->buttonPressed = false;
        pw::ReleaseCapture();
        invalidateTextArea(c);
        pw::SendMessage(c->list, pw::WM_LBUTTONDOWN, pw::MK_LBUTTON, pw::MAKELPARAM(pt.x, pt.y));
      }
      return;
    case pw::WM_LBUTTONUP:
      if (pw::GetCapture() == self) pw::ReleaseCapture();
      if (c->buttonPressed) {
        c->buttonPressed = false;
        invalidateTextArea(c);
      }
      return;
    default:
      return;
  }
}

// ---------------------------------------------------------------- properties

using props::Ptype;

Ptype typeOf(int id) {
  const props::PropertyRow* row = props::rowOf(id);
  return row ? static_cast<Ptype>(row->flags & 0xFF) : props::Int32;
}

LRESULT answer(int id, std::int32_t v, LPARAM out) {
  if (!out) return v;
  if (props::isSixteen(typeOf(id))) *reinterpret_cast<std::int16_t*>(out) = static_cast<std::int16_t>(v);
  else *reinterpret_cast<std::int32_t*>(out) = v;
  return kOk;
}

LRESULT answerText(const std::string& text, LPARAM out) {
  if (out == 0) return reinterpret_cast<LRESULT>(globalTextCopy(text));
  auto* block = reinterpret_cast<props::TextBlock*>(out);
  if (block->buffer && block->size > 0) {
    const std::string_view cut = plat::text::cutToBytes(text, static_cast<std::size_t>(block->size) - 1);
    std::memcpy(block->buffer, cut.data(), cut.size());
    block->buffer[cut.size()] = '\0';
  }
  return static_cast<LRESULT>(text.size());
}

std::pair<int, int> editSel(const CbxInstance* c) {
  pw::DWORD s = 0, e = 0;
  if (c->edit)
    pw::SendMessage(c->edit, pw::EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  return {static_cast<int>(s), static_cast<int>(e)};
}

std::string selectedText(const CbxInstance* c) {
  const auto [s, e] = editSel(c);
  const std::string text = comboText(c);
  const std::size_t b0 = plat::text::cutChars(text, static_cast<std::size_t>(s)).size();
  const std::size_t b1 = plat::text::cutChars(text, static_cast<std::size_t>(e)).size();
  return text.substr(b0, b1 - b0);
}

LRESULT setComboText(CbxInstance* c, const char* text);

LRESULT listProperty(CbxInstance* c, UINT msg, WPARAM id, LPARAM value) { return toList(c, msg, id, value); }

void applyFontFromList(CbxInstance* c) {
  if (!c->list) return;
  auto font = reinterpret_cast<pw::HFONT>(pw::SendMessage(c->list, pw::WM_GETFONT, 0, 0));
  c->font = font;
  if (c->edit) pw::SendMessage(c->edit, pw::WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
  c->editLineHeight = static_cast<std::uint16_t>(fontLineHeight(c->hwnd, font));
  requestLayout(c);
}

LRESULT comboPropertySet(CbxInstance* c, WPARAM wParam, LPARAM value) {
  const int id = static_cast<int>(wParam);
  const auto v = static_cast<std::int32_t>(value);
  const bool editPart = c->applyTo != kApplyListOnly;
  const bool listPart = c->applyTo != kApplyEditOnly;
  switch (id) {
    case 172:
      if (v < 0 || v > 2) return kOk;
      c->style = static_cast<std::uint8_t>(v);
      requestLayout(c);
      return kOk;
    case 173:
      if (v >= 0 && v <= 100) c->maxDrop = static_cast<std::int16_t>(v);
      return kOk;
    case 174:
      c->listWidth = v < 1 ? -1 : v;
      requestLayout(c);
      return kOk;
    case 175:
      if (c->edit) pw::SendMessage(c->edit, pw::EM_SETSEL, static_cast<WPARAM>(std::max(v, 0)), std::max(v, 0));
      return kOk;
    case 176:
      if (c->edit) {
        const int start = editSel(c).first;
        const LPARAM end = v < 0 || v >= 65535 ? -1 : start + v;
        pw::SendMessage(c->edit, pw::EM_SETSEL, static_cast<WPARAM>(start), end);
      }
      return kOk;
    case 177:
      if (c->edit) pw::SendMessage(c->edit, pw::EM_REPLACESEL, 1, value ? value : reinterpret_cast<LPARAM>(""));
      return kOk;
    case 178:
      c->editHeight = v < 1 ? -1 : v;
      requestLayout(c);
      return kOk;
    case 179:
      c->grayAreaColor = static_cast<std::uint32_t>(v);
      invalidateTextArea(c);
      return kOk;
    case 180:
      c->listLeftOffset = v < 0 ? -1 : v;
      requestLayout(c);
      return kOk;
    case 181:
      if (v >= 0 && v <= 2) c->applyTo = static_cast<std::uint8_t>(v);
      return kOk;
    case 182:
      showDropDown(c, v != 0);
      return kOk;
    case 183:
      if (v < -2 || v > 639) return kOk;
      c->comboGap = static_cast<std::int16_t>(v);
      requestLayout(c);
      return kOk;
    case 185:
      if (v < 0 || v > 32000) return kOk;
      c->maxEditLen = static_cast<std::int16_t>(v);
      if (c->edit) pw::SendMessage(c->edit, pw::EM_LIMITTEXT, static_cast<WPARAM>(v), 0);
      return kOk;
    case 170:
    case 171: {
      LbxInstance* li = listOf(c);
      const int columns = li ? li->store.columnCount : 0;
      if (v < -1 || (columns > 0 && v > columns - 1)) return kOk;
      (id == 170 ? c->columnEdit : c->columnBound) = static_cast<std::int16_t>(v);
      return kOk;
    }
    case 252:
      if (v == 0 || v == 1) c->listPosition = static_cast<std::uint8_t>(v);
      return kOk;
    case 253:
      if (v < 0 || v > 2) return kOk;
      c->button3D = static_cast<std::uint8_t>(v);
      requestLayout(c);
      return kOk;
    case 255:
      c->redrawOff = v == 0;
      return listProperty(c, props::kSetMessage, wParam, value);
    case 256:
      c->autoSearchFill = v != 0;
      return kOk;
    case 257:
      c->autoSearchFillDelay = std::max(v, 0);
      return kOk;
    case 258: case 259: case 260: case 261:
      c->editMargin[id - 258] = static_cast<std::int16_t>(std::max(v, 0));
      requestLayout(c);
      return kOk;
    case 273:
      c->autoMenu = v != 0;
      return kOk;
    case 274:
      if (v < 0 || v > 2) return kOk;
      c->editAlignH = static_cast<std::uint8_t>(v);
      if (c->edit) {
        // Alignment is a style of the edit: its text, font and limit stay.
        pw::LONG st = pw::GetWindowLong(c->edit, pw::GWL_STYLE) & ~static_cast<pw::LONG>(pw::ES_CENTER | pw::ES_RIGHT);
        st |= static_cast<pw::LONG>(v == 1 ? pw::ES_CENTER : v == 2 ? pw::ES_RIGHT : pw::ES_LEFT);
        pw::SetWindowLong(c->edit, pw::GWL_STYLE, st);
        pw::InvalidateRect(c->edit, nullptr, pw::TRUE);
      }
      return kOk;
    case 275:
      if (v < 0 || v > 2) return kOk;
      c->editAlignV = static_cast<std::uint8_t>(v);
      requestLayout(c);
      return kOk;
    case 2:
    case 3:
      if (editPart) {
        (id == 2 ? c->backColor : c->foreColor) = static_cast<std::uint32_t>(v);
        invalidateTextArea(c);
      }
      return listPart ? listProperty(c, props::kSetMessage, wParam, value) : kOk;
    case 85:
      if (v == 3 && editPart) {
        writeText(c, "");
        if (comboOf(c->hwnd) != c) return kOk;
        c->remembered = -1;
      }
      return listPart ? listProperty(c, props::kSetMessage, wParam, value) : kOk;
    case 156:
    case 157:
      if (editPart) (id == 156 ? c->keyEvents : c->mouseEvents) = v != 0 ? 1 : 0;
      return listPart ? listProperty(c, props::kSetMessage, wParam, value) : kOk;
    case 30:
      setComboText(c, reinterpret_cast<const char*>(value));
      return kOk;
    case 32: {
      requestLayout(c);
      return listProperty(c, props::kSetMessage, wParam, value);
    }
    case 31:
    case 161: {
      const LRESULT r = listProperty(c, props::kSetMessage, wParam, value);
      LbxInstance* li = listOf(c);
      std::string text;
      if (li && li->curSel >= 0 && li->curSel == c->remembered && itemShownText(c, c->remembered, &text))
        writeText(c, text);
      return r;
    }
    case 500:
      pw::EnableWindow(c->hwnd, v != 0);
      return kOk;
    case 507:
      c->helpContextId = v;
      return kOk;
    case 508: {
      const pw::LONG st = pw::GetWindowLong(c->hwnd, pw::GWL_STYLE);
      pw::SetWindowLong(c->hwnd, pw::GWL_STYLE,
                        v ? (st | static_cast<pw::LONG>(pw::WS_TABSTOP)) : (st & ~static_cast<pw::LONG>(pw::WS_TABSTOP)));
      return kOk;
    }
    case 509:
      pw::ShowWindow(c->hwnd, v ? pw::SW_SHOW : pw::SW_HIDE);
      return kOk;
    case 501: case 502: case 503: case 504: case 505: case 506: {
      const LRESULT r = listProperty(c, props::kSetMessage, wParam, value);
      applyFontFromList(c);
      return r;
    }
    default:
      if (props::frameField(id)) {
        // The combo's own frame, and the list's.
        if (editPart && props::frameStore(c->frame, id, v)) requestLayout(c);
        return listPart ? listProperty(c, props::kSetMessage, wParam, value) : kOk;
      }
      return listProperty(c, props::kSetMessage, wParam, value);
  }
}

LRESULT comboPropertyGet(CbxInstance* c, WPARAM wParam, LPARAM out) {
  const int id = static_cast<int>(wParam);
  switch (id) {
    case 172: return answer(id, c->style, out);
    case 173: return answer(id, c->maxDrop, out);
    case 174: return answer(id, c->listWidth, out);
    case 175: return answer(id, editSel(c).first, out);
    case 176: {
      const auto [s, e] = editSel(c);
      return answer(id, e - s, out);
    }
    case 177: return answerText(selectedText(c), out);
    case 178: return answer(id, c->editHeight, out);
    case 179: return answer(id, static_cast<std::int32_t>(c->grayAreaColor), out);
    case 180: return answer(id, c->listLeftOffset, out);
    case 181: return answer(id, c->applyTo, out);
    case 182: return answer(id, c->dropped ? -1 : 0, out);
    case 183: return answer(id, c->comboGap, out);
    case 185: return answer(id, c->maxEditLen, out);
    case 170: return answer(id, c->columnEdit, out);
    case 171: return answer(id, c->columnBound, out);
    case 252: return answer(id, c->listPosition, out);
    case 253: return answer(id, c->button3D, out);
    case 256: return answer(id, c->autoSearchFill ? -1 : 0, out);
    case 257: return answer(id, c->autoSearchFillDelay, out);
    case 258: case 259: case 260: case 261: return answer(id, c->editMargin[id - 258], out);
    case 273: return answer(id, c->autoMenu ? -1 : 0, out);
    case 274: return answer(id, c->editAlignH, out);
    case 275: return answer(id, c->editAlignV, out);
    case 248: return answer(id, 0, out);
    case 30: return answerText(comboText(c), out);
    case 2:
    case 3:
      if (c->applyTo != kApplyListOnly)
        return answer(id, static_cast<std::int32_t>(id == 2 ? c->backColor : c->foreColor), out);
      return listProperty(c, props::kGetMessage, wParam, out);
    case 156:
    case 157:
      if (c->applyTo != kApplyListOnly) return answer(id, id == 156 ? c->keyEvents : c->mouseEvents, out);
      return listProperty(c, props::kGetMessage, wParam, out);
    case 500: return pw::IsWindowEnabled(c->hwnd) ? -1 : 0;
    case 509: return pw::IsWindowVisible(c->hwnd) ? -1 : 0;
    case 508: return (pw::GetWindowLong(c->hwnd, pw::GWL_STYLE) & static_cast<pw::LONG>(pw::WS_TABSTOP)) ? 1 : 0;
    case 507:
      if (!out) return -1;
      *reinterpret_cast<std::int32_t*>(out) = c->helpContextId;
      return kOk;
    default:
      if (const props::FrameField* f = props::frameField(id); f && c->applyTo != kApplyListOnly)
        return answer(id, props::frameGet(c->frame, *f), out);
      return listProperty(c, props::kGetMessage, wParam, out);
  }
}

// WM_SETTEXT and the Text property: the edit's text, or the Drop-Down
// List's own copy; the item of that text becomes the list's current one.
LRESULT setComboText(CbxInstance* c, const char* text) {
  const std::string t = text ? text : "";
  HWND self = c->hwnd;
  const bool changed = writeText(c, t);
  if (comboOf(self) != c) return pw::TRUE;
  if (!c->edit && changed && !notify(c, CBN_EDITCHANGE)) return pw::TRUE;
  LbxInstance* li = listOf(c);
  int found = -1;
  if (li && !t.empty()) {
    const int col = c->columnEdit >= 0 && c->columnEdit < li->store.columnCount ? c->columnEdit : -1;
    found = lbxSearch(li, t.c_str(), 0, col, -1, true);
  }
  setListCurrent(c, found);
  c->remembered = found;
  return pw::TRUE;
}

// ---------------------------------------------------------------- creation

void undoCreate(HWND hwnd, CbxInstance* c) {
  if (c) {
    if (c->edit && pw::IsWindow(c->edit)) pw::DestroyWindow(c->edit);
    if (c->list && pw::IsWindow(c->list)) pw::DestroyWindow(c->list);
    PoolFree(c);
  }
  pw::SetWindowLongPtr(hwnd, 0, 0);
  --S().combos;
  releasePool();
}

std::uint32_t listStyleFor(std::uint32_t cs, bool simple) {
  std::uint32_t s = (simple ? pw::WS_CHILD | pw::WS_VISIBLE : pw::WS_POPUP) | pw::WS_BORDER | pw::WS_VSCROLL |
                    pw::WS_HSCROLL | LBS_NOTIFY;
  if (cs & CBS_OWNERDRAWFIXED) s |= LBS_OWNERDRAWFIXED;
  if (cs & CBS_OWNERDRAWVARIABLE) s |= LBS_OWNERDRAWVARIABLE;
  if (cs & CBS_SORT) s |= LBS_SORT;
  if (cs & CBS_HASSTRINGS) s |= LBS_HASSTRINGS;
  if (cs & CBS_NOINTEGRALHEIGHT) s |= LBS_NOINTEGRALHEIGHT;
  if (cs & CBS_DISABLENOSCROLL) s |= LBS_DISABLENOSCROLL;
  if (cs & kCbsListVariable) s |= LBS_OWNERDRAWVARIABLE;
  return s;
}

bool createCombo(HWND hwnd, const pw::CREATESTRUCT* cs) {
  ++S().combos;
  if (!acquirePool()) {
    --S().combos;
    return false;
  }
  auto* c = static_cast<CbxInstance*>(PoolAlloc(libraryPool(), sizeof(CbxInstance), kAllocZero));
  if (!c) {
    undoCreate(hwnd, nullptr);
    return false;
  }
  pw::SetWindowLongPtr(hwnd, 0, reinterpret_cast<pw::LONG_PTR>(c));
  const auto style = static_cast<std::uint32_t>(cs->style);
  c->hwnd = hwnd;
  c->createStyle = style;
  switch (style & 3) {
    case 1: c->style = kSimpleCombo; break;
    case 3: c->style = kDropDownList; break;
    default: c->style = kDropDownCombo; break;
  }
  c->buttonWidth = static_cast<std::uint16_t>(pw::GetSystemMetrics(pw::SM_CXVSCROLL) + 5);
  c->editLineHeight = static_cast<std::uint16_t>(fontLineHeight(hwnd, nullptr));
  // The combo's frame: the frame record's defaults, drawn flat.
  props::frameInit(c->frame);
  c->frame[0] = 1;
  props::frameStore(c->frame, 123, 1);
  c->columnEdit = c->columnBound = -1;
  c->maxDrop = 8;
  c->listWidth = c->editHeight = -1;
  c->grayAreaColor = pw::SYSCOLOR_REF_BIT | pw::COLOR_BTNFACE;
  c->remembered = -1;
  c->comboGap = -2;
  c->maxEditLen = kDefaultEditLimit;
  c->editMargin[0] = 1;
  c->editMargin[1] = 1;
  c->editMargin[2] = 0;
  c->editMargin[3] = 3;
  c->keyEvents = c->mouseEvents = 1;
  c->button3D = 0;
  c->autoSearchFillDelay = 500;
  c->autoMenu = true;
  c->fillItem = -1;
  c->backColor = pw::SYSCOLOR_REF_BIT | pw::COLOR_WINDOW;
  c->foreColor = pw::SYSCOLOR_REF_BIT | pw::COLOR_WINDOWTEXT;

  c->list = pw::CreateWindowEx(0, kComboListClass, "", listStyleFor(style, c->style == kSimpleCombo), 0, 0, 0, 0,
                               hwnd, reinterpret_cast<pw::HMENU>(static_cast<std::intptr_t>(kComboListId)),
                               cs->hInstance, hwnd);
  if (!c->list) {
    undoCreate(hwnd, c);
    return false;
  }
  if (c->style != kDropDownList) {
    const pw::DWORD es = pw::WS_CHILD | pw::WS_VISIBLE | ((style & CBS_AUTOHSCROLL) ? pw::ES_AUTOHSCROLL : 0);
    c->edit = pw::CreateWindowEx(0, kComboEditClass, "", es, 0, 0, 0, 0, hwnd,
                                 reinterpret_cast<pw::HMENU>(static_cast<std::intptr_t>(kComboEditId)),
                                 cs->hInstance, nullptr);
    if (!c->edit) {
      undoCreate(hwnd, c);
      return false;
    }
    pw::SendMessage(c->edit, pw::EM_LIMITTEXT, kDefaultEditLimit, 0);
    if (style & pw::WS_DISABLED) pw::EnableWindow(c->edit, pw::FALSE);
  }
  // The list's frame is flat inside a combo.
  pw::SendMessage(c->list, props::kSetMessage, 123, 1);
  requestLayout(c);
  return true;
}

void destroyCombo(HWND hwnd) {
  CbxInstance* c = comboOf(hwnd);
  if (!c) return;
  if (S().dropped == hwnd) removeHook();
  pw::KillTimer(hwnd, kAutoFillTimer);
  if (c->list && pw::IsWindow(c->list)) pw::DestroyWindow(c->list);
  c->list = nullptr;
  if (c->edit && pw::IsWindow(c->edit)) pw::DestroyWindow(c->edit);
  c->edit = nullptr;
  freeString(c->paintedText);
  freeString(c->fillPrefix);
  pw::SetWindowLongPtr(hwnd, 0, 0);
  PoolFree(c);
  --S().combos;
  releasePool();
}

// ---------------------------------------------------------------- child notifications

void focusArrived(CbxInstance* c) {
  if (c->focused) return;
  c->focused = true;
  invalidateTextArea(c);
  notify(c, CBN_SETFOCUS);
}

// The focus left the combo, its edit and its list for `to`.
void focusLeft(CbxInstance* c, HWND to) {
  if (to && (to == c->hwnd || to == c->edit || to == c->list)) return;
  HWND self = c->hwnd;
  showDropDown(c, false);
  if (comboOf(self) != c || !c->focused) return;
  c->focused = false;
  invalidateTextArea(c);
  notify(c, CBN_KILLFOCUS);
}

void childCommand(CbxInstance* c, WPARAM w, LPARAM l) {
  const int id = pw::LOWORD(w);
  const unsigned code = pw::HIWORD(w);
  const auto from = reinterpret_cast<HWND>(l);
  if (from == c->edit && id == kComboEditId) {
    if (code == pw::EN_CHANGE && !c->editUpdating) editChanged(c);
    else if (code == pw::EN_SETFOCUS) focusArrived(c);
    // EN_KILLFOCUS does not name the window taking the focus; the edit's
    // WM_KILLFOCUS does, and is handled in CB_EditProc.
    return;
  }
  if (from == c->list && id == kComboListId) {
    switch (code) {
      case LBN_SELCHANGE:
        if (!c->suppressSel && pw::GetCapture() != c->list) takeListSelection(c);
        return;
      case LBN_DBLCLK: notify(c, CBN_DBLCLK); return;
      case LBN_SETFOCUS: focusArrived(c); return;
      case 0xFFFE: notify(c, CBN_ERRSPACE); return;  // LBN_ERRSPACE
      default: return;
    }
  }
}

// ---------------------------------------------------------------- the drop-down list child

// The row under a point of the list's client area, -1 when none.
int rowAt(LbxInstance* li, int y) {
  y -= std::max(li->headerHeight, 0);
  if (y < 0) return -1;
  for (int i = li->topIndex; i < li->itemCount; ++i) {
    const int own = lbxRowHeight(li, i);
    const int h = own >= 0 ? own : li->rowHeight;
    if (y < h) return i;
    y -= h;
  }
  return -1;
}

bool insideClient(HWND h, LPARAM l) {
  pw::RECT r;
  pw::GetClientRect(h, &r);
  return pw::PtInRect(&r, pw::POINT{pw::GET_X_LPARAM(l), pw::GET_Y_LPARAM(l)}) != pw::FALSE;
}

// Mouse on the list: a press tracks the item under the mouse, the release
// picks it (closing a drop-down first). Answers true when handled.
bool listMouse(HWND h, UINT msg, LPARAM l) {
  LbxInstance* li = instanceOf(h);
  CbxInstance* c = li ? comboOf(li->comboOwner) : nullptr;
  if (!c) return false;
  reportMouse(c, h, msg, l);
  if (!instanceOf(h) || comboOf(li->comboOwner) != c) return true;
  HWND combo = c->hwnd;
  switch (msg) {
    case pw::WM_LBUTTONDOWN:
    case pw::WM_LBUTTONDBLCLK: {
      pw::SetCapture(h);
      const int row = rowAt(li, pw::GET_Y_LPARAM(l));
      if (row >= 0) setListCurrent(c, row);
      return true;
    }
    case pw::WM_MOUSEMOVE:
      if (pw::GetCapture() == h && insideClient(h, l)) {
        const int row = rowAt(li, pw::GET_Y_LPARAM(l));
        if (row >= 0 && row != li->curSel) setListCurrent(c, row);
      }
      return true;
    case pw::WM_LBUTTONUP: {
      if (pw::GetCapture() != h) return true;
      pw::ReleaseCapture();
      const int row = insideClient(h, l) ? rowAt(li, pw::GET_Y_LPARAM(l)) : -1;
      if (row < 0) {
        // Released off the items: nothing is picked.
        setListCurrent(c, c->remembered);
        if (c->dropped) showDropDown(c, false);
        return true;
      }
      setListCurrent(c, row);
      if (c->dropped) showDropDown(c, false);
      if (comboOf(combo) != c || !instanceOf(h)) return true;
      if (row == c->remembered) return true;
      notifyCommand(li, LBN_SELCHANGE);
      // A pick made by a click is also reported as a click when the list's
      // click event is on.
      if (comboOf(combo) != c || !c->list) return true;
      std::int32_t clickEvent = 0;
      pw::SendMessage(c->list, props::kGetMessage, kEnableClickEvent, reinterpret_cast<LPARAM>(&clickEvent));
      if (clickEvent) notify(c, kCbnClick);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

// ---------------------------------------------------------------- public

CbxInstance* comboOf(HWND hwnd) {
  if (!hwnd || !pw::IsWindow(hwnd)) return nullptr;
  char cls[32];
  if (!pw::GetClassName(hwnd, cls, sizeof cls) || std::strcmp(cls, kComboClass) != 0) return nullptr;
  return reinterpret_cast<CbxInstance*>(pw::GetWindowLongPtr(hwnd, 0));
}

int liveCombos() { return S().combos; }
HWND droppedCombo() { return S().dropped; }

LRESULT ComboProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == pw::WM_NCCREATE) {
    if (!createCombo(hwnd, reinterpret_cast<const pw::CREATESTRUCT*>(l))) return pw::FALSE;
    return pw::DefWindowProc(hwnd, msg, w, l);
  }
  if (msg == pw::WM_DESTROY) {
    destroyCombo(hwnd);
    return 0;
  }
  CbxInstance* c = comboOf(hwnd);
  if (!c) return pw::DefWindowProc(hwnd, msg, w, l);
  switch (msg) {
    // Forwarded to the edit.
    case CB_GETEDITSEL: return c->edit ? pw::SendMessage(c->edit, pw::EM_GETSEL, w, l) : CB_ERR;
    case CB_LIMITTEXT:
      if (!c->edit) return CB_ERR;
      c->maxEditLen = static_cast<std::int16_t>(std::min<WPARAM>(w, 32000));
      pw::SendMessage(c->edit, pw::EM_LIMITTEXT, w, l);
      return pw::TRUE;
    case CB_SETEDITSEL:
      if (!c->edit) return CB_ERR;
      // The start and end travel in the two halves of lParam.
      pw::SendMessage(c->edit, pw::EM_SETSEL, static_cast<WPARAM>(static_cast<std::int16_t>(pw::LOWORD(l))),
                      static_cast<std::int16_t>(pw::HIWORD(l)));
      return pw::TRUE;
    // Forwarded to the list.
    case CB_ADDSTRING: return changeItems(c, [&] { return toList(c, LB_ADDSTRING, w, l); });
    case CB_INSERTSTRING: return changeItems(c, [&] { return toList(c, LB_INSERTSTRING, w, l); });
    case CB_DELETESTRING: return changeItems(c, [&] { return toList(c, LB_DELETESTRING, w, l); });
    case CB_DIR: return toList(c, LB_DIR, w, l);
    case CB_GETCOUNT: return toList(c, LB_GETCOUNT, w, l);
    case CB_GETCURSEL: return toList(c, LB_GETCURSEL, w, l);
    case CB_GETLBTEXT: return toList(c, LB_GETTEXT, w, l);
    case CB_GETLBTEXTLEN: return toList(c, LB_GETTEXTLEN, w, l);
    case CB_RESETCONTENT: {
      const LRESULT r = toList(c, LB_RESETCONTENT, w, l);
      c->remembered = -1;
      return r;
    }
    case CB_FINDSTRING: return toList(c, LB_FINDSTRING, w, l);
    case CB_FINDSTRINGEXACT: return toList(c, LB_FINDSTRINGEXACT, w, l);
    case CB_SELECTSTRING:
    case CB_SETCURSEL: {
      // The shown text follows the selection set by the program.
      const LRESULT r = toList(c, msg == CB_SETCURSEL ? LB_SETCURSEL : LB_SELECTSTRING, w, l);
      LbxInstance* li = listOf(c);
      if (!li) return r;
      c->remembered = li->curSel;
      std::string text;
      if (li->curSel >= 0 && itemShownText(c, li->curSel, &text)) writeText(c, text);
      else if (msg == CB_SETCURSEL && static_cast<int>(static_cast<pw::LONG>(w)) == -1) writeText(c, "");
      return r;
    }
    case CB_GETITEMDATA: return toList(c, LB_GETITEMDATA, w, l);
    case CB_SETITEMDATA: return toList(c, LB_SETITEMDATA, w, l);
    case CB_SETITEMHEIGHT: return toList(c, LB_SETITEMHEIGHT, w, l);
    case CB_GETITEMHEIGHT: return toList(c, LB_GETITEMHEIGHT, w, l);
    // Answered here.
    case CB_SHOWDROPDOWN:
      showDropDown(c, w != 0);
      return pw::TRUE;
    case CB_GETDROPPEDSTATE: return c->style == kSimpleCombo ? 1 : (c->dropped ? 1 : 0);
    case CB_SETEXTENDEDUI:
    case CB_GETEXTENDEDUI:
    case CB_GETDROPPEDCONTROLRECT:
      return 0;
    // Private messages.
    case kCbxGetList: return reinterpret_cast<LRESULT>(c->list);
    case kCbxLayout:
      if (c->layoutPending) {
        c->layoutPending = 0;
        layout(c);
      }
      return 0;
    case kCbxKeyFilter:
    case kCbxCharFilter:
      return keyFilter(c, msg, w, l);
    case kCbxSuppressSel:
      c->suppressSel = w != 0;
      return 0;
    case kCbxSetHeight: {
      if (c->style == kSimpleCombo) return 0;
      pw::RECT r;
      pw::GetWindowRect(hwnd, &r);
      pw::SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, pw::HIWORD(static_cast<pw::ULONG_PTR>(l)),
                       pw::SWP_NOMOVE | pw::SWP_NOZORDER | pw::SWP_NOACTIVATE);
      return 0;
    }
    case kCbxGetRecord: return reinterpret_cast<LRESULT>(c);
    case kCbxRepaintList:
      if (c->dropped && c->list) pw::RedrawWindow(c->list, nullptr, nullptr, pw::RDW_INVALIDATE | pw::RDW_UPDATENOW);
      c->notifySuppressed = false;
      return 0;
    case kMsgSetProperty:
    case 0x4C9:
      return comboPropertySet(c, w, l);
    case kMsgGetProperty:
    case 0x4CA:
      return comboPropertyGet(c, w, l);
    case kMsgLoadState:
    case kMsgSaveState:
    case kMsgRecomputeMetrics:
    case kMsgSetValueBlock:
    case kMsgSetOwnerValue:
      return toList(c, msg, w, l);
    case kMsgGetNotifyTarget: return reinterpret_cast<LRESULT>(c->notifyTarget);
    case kMsgSetNotifyTarget: {
      HWND old = c->notifyTarget;
      c->notifyTarget = reinterpret_cast<HWND>(l);
      return reinterpret_cast<LRESULT>(old);
    }
    case 0x504: case 0x505: case 0x508: case 0x509: case 0x50A: case 0x50B: case 0x50C: case 0x50D:
    case 0x50E: case kCbxMouseEvent: {
      HWND target = comboNotifyTarget(c);
      return target && target != hwnd ? pw::SendMessage(target, msg, w, l) : 0;
    }
    // Window messages.
    case pw::WM_COMMAND:
      childCommand(c, w, l);
      return 0;
    case pw::WM_SIZE:
      requestLayout(c);
      return 0;
    case pw::WM_SETTEXT:
      return setComboText(c, reinterpret_cast<const char*>(l));
    case pw::WM_GETTEXT: {
      if (!w || !l) return 0;
      const std::string text = comboText(c);
      const std::string_view cut = plat::text::cutToBytes(text, static_cast<std::size_t>(w) - 1);
      auto* out = reinterpret_cast<char*>(l);
      std::memcpy(out, cut.data(), cut.size());
      out[cut.size()] = '\0';
      return static_cast<LRESULT>(cut.size());
    }
    case pw::WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(comboText(c).size());
    case pw::WM_SETFONT:
      c->font = reinterpret_cast<pw::HFONT>(w);
      if (c->edit) pw::SendMessage(c->edit, pw::WM_SETFONT, w, l);
      if (c->list) pw::SendMessage(c->list, pw::WM_SETFONT, w, l);
      c->editLineHeight = static_cast<std::uint16_t>(fontLineHeight(hwnd, c->font));
      requestLayout(c);
      return 0;
    case pw::WM_GETFONT:
      return reinterpret_cast<LRESULT>(c->font);
    case pw::WM_ENABLE:
      if (c->edit) pw::EnableWindow(c->edit, w != 0);
      if (!w) showDropDown(c, false);
      invalidateTextArea(c);
      return 0;
    case pw::WM_SETFOCUS:
      if (c->edit) {
        pw::SetFocus(c->edit);
        if (comboOf(hwnd) == c) pw::SendMessage(c->edit, pw::EM_SETSEL, 0, -1);
      } else {
        focusArrived(c);
      }
      return 0;
    case pw::WM_KILLFOCUS:
      focusLeft(c, reinterpret_cast<HWND>(w));
      return 0;
    case pw::WM_GETDLGCODE:
      return pw::DLGC_WANTARROWS | pw::DLGC_WANTCHARS | pw::DLGC_HASSETSEL;
    case pw::WM_KEYDOWN:
    case pw::WM_SYSKEYDOWN:
      if (c->edit && pw::GetFocus() == c->edit) return pw::SendMessage(c->edit, msg, w, l);
      // Alt with other keys stays the system's (menus, closing the window).
      if (msg == pw::WM_SYSKEYDOWN && w != static_cast<WPARAM>(pw::VK_UP) && w != static_cast<WPARAM>(pw::VK_DOWN) &&
          !(w == static_cast<WPARAM>(pw::VK_SPACE) && c->dropped))
        return pw::DefWindowProc(hwnd, msg, w, l);
      comboKey(c, w, l);
      return 0;
    case pw::WM_CHAR:
      if (c->edit) return pw::SendMessage(c->edit, msg, w, l);
      return 0;
    case pw::WM_TIMER:
      if (w == kAutoFillTimer) delayedFill(c);
      return 0;
    case pw::WM_LBUTTONDOWN:
    case pw::WM_LBUTTONDBLCLK:
    case pw::WM_LBUTTONUP:
    case pw::WM_MOUSEMOVE:
      comboMouse(c, msg, l);
      return 0;
    case pw::WM_CAPTURECHANGED:
      if (c->buttonPressed) {
        c->buttonPressed = false;
        invalidateTextArea(c);
      }
      return 0;
    case pw::WM_ERASEBKGND:
      return 1;
    case pw::WM_PAINT: {
      pw::PAINTSTRUCT ps;
      pw::HDC dc = pw::BeginPaint(hwnd, &ps);
      if (dc) paint(c, dc);
      pw::EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return pw::DefWindowProc(hwnd, msg, w, l);
  }
}

LRESULT CB_EditProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  pw::WNDPROC base = S().editBase ? S().editBase : pw::DefWindowProc;
  CbxInstance* c = comboOf(pw::GetParent(hwnd));
  if (!c || c->edit != hwnd) return pw::CallWindowProc(base, hwnd, msg, w, l);
  HWND combo = c->hwnd;
  switch (msg) {
    case pw::WM_KEYDOWN:
    case pw::WM_SYSKEYDOWN: {
      const auto k = static_cast<WPARAM>(pw::SendMessage(combo, kCbxKeyFilter, w, l));
      if (comboOf(combo) != c || !pw::IsWindow(hwnd) || k == 0) return 0;
      if (editKey(c, static_cast<int>(k), l)) return 0;
      return pw::CallWindowProc(base, hwnd, msg, k, l);
    }
    case pw::WM_CHAR: {
      auto ch = static_cast<WPARAM>(pw::SendMessage(combo, kCbxCharFilter, w, l));
      if (comboOf(combo) != c || !pw::IsWindow(hwnd) || ch == 0) return 0;
      // The filter answers 16 bits: a character beyond them that the target
      // left alone keeps its full value.
      if (ch == (w & 0xFFFF)) ch = w;
      if (ch == 0x1B || ch == '\t' || ch == '\r') return 0;
      return pw::CallWindowProc(base, hwnd, msg, ch, l);
    }
    case pw::WM_KILLFOCUS: {
      const LRESULT r = pw::CallWindowProc(base, hwnd, msg, w, l);
      if (comboOf(combo) == c) focusLeft(c, reinterpret_cast<HWND>(w));
      return r;
    }
    case pw::WM_VSCROLL: {
      if (c->dropped) return toList(c, msg, w, l);
      const int code = pw::LOWORD(w);
      const int page = std::max(1, static_cast<int>(c->maxDrop));
      LbxInstance* li = listOf(c);
      if (code == pw::SB_LINEUP) stepSelection(c, -1);
      else if (code == pw::SB_LINEDOWN) stepSelection(c, 1);
      else if (code == pw::SB_PAGEUP) stepSelection(c, -page);
      else if (code == pw::SB_PAGEDOWN) stepSelection(c, page);
      else if ((code == pw::SB_THUMBPOSITION || code == pw::SB_THUMBTRACK) && li)
        stepSelection(c, static_cast<int>(pw::HIWORD(w)) - std::max(li->curSel, 0));
      return 0;
    }
    default:
      break;
  }
  if (isMouseMessage(msg)) {
    reportMouse(c, hwnd, msg, l);
    if (comboOf(combo) != c || !pw::IsWindow(hwnd)) return 0;
    if (msg == pw::WM_RBUTTONDOWN && !c->autoMenu) return 0;
  }
  return pw::CallWindowProc(base, hwnd, msg, w, l);
}

LRESULT CB_Colvanec(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == pw::WM_NCCREATE) {
    const LRESULT r = ListBoxProc(hwnd, msg, w, l);
    if (!r) return r;
    auto* cs = reinterpret_cast<const pw::CREATESTRUCT*>(l);
    if (LbxInstance* li = instanceOf(hwnd)) {
      // Inside a combo: notifications go to the combo, under the list's id.
      li->comboOwner = static_cast<HWND>(cs->lpCreateParams);
      li->notifyTarget = li->comboOwner;
      li->firstNotify = li->comboOwner;
      li->controlId = static_cast<std::uint16_t>(kComboListId);
    }
    return r;
  }
  LbxInstance* li = instanceOf(hwnd);
  if (li) {
    if (msg == pw::WM_DESTROY) {
      if (CbxInstance* c = comboOf(li->comboOwner)) {
        if (c->list == hwnd) {
          if (S().dropped == c->hwnd) removeHook();
          c->list = nullptr;
          c->dropped = 0;
        }
      }
    } else if (msg == pw::WM_KILLFOCUS) {
      HWND combo = li->comboOwner;
      const LRESULT r = ListBoxProc(hwnd, msg, w, l);
      if (CbxInstance* c = comboOf(combo)) focusLeft(c, reinterpret_cast<HWND>(w));
      return r;
    } else if (msg == pw::WM_MOUSEACTIVATE) {
      // A drop-down never takes the focus from the combo's edit.
      if (pw::GetWindowLong(hwnd, pw::GWL_STYLE) & static_cast<pw::LONG>(pw::WS_POPUP)) return pw::MA_NOACTIVATE;
    } else if (msg == pw::WM_LBUTTONDOWN || msg == pw::WM_LBUTTONUP || msg == pw::WM_MOUSEMOVE ||
               msg == pw::WM_LBUTTONDBLCLK) {
      if (listMouse(hwnd, msg, l)) return 0;
    } else if (isMouseMessage(msg)) {
      if (CbxInstance* c = comboOf(li->comboOwner)) {
        reportMouse(c, hwnd, msg, l);
        if (instanceOf(hwnd) != li) return 0;
      }
    } else if (msg == pw::WM_KEYDOWN) {
      // Caret keys in a Simple Combo's list move its selection.
      if (CbxInstance* c = comboOf(li->comboOwner))
        if (listKey(c, static_cast<int>(w))) return 0;
    }
  }
  return ListBoxProc(hwnd, msg, w, l);
}

bool RegisterComboClasses(pw::HINSTANCE module) {
  pw::WNDCLASS edit;
  if (!pw::GetClassInfo(nullptr, "Edit", &edit)) return false;
  S().editBase = edit.lpfnWndProc;
  const pw::HCURSOR arrow = pw::LoadCursor(nullptr, pw::MAKEINTRESOURCE(pw::IDC_ARROW));
  pw::WNDCLASS combo;
  combo.style = pw::CS_GLOBALCLASS | pw::CS_DBLCLKS | pw::CS_HREDRAW | pw::CS_VREDRAW;
  combo.lpfnWndProc = ComboProc;
  combo.cbWndExtra = static_cast<int>(sizeof(void*));
  combo.hInstance = module;
  combo.hCursor = arrow;
  combo.lpszClassName = kComboClass;
  pw::WNDCLASS list = combo;
  list.style |= pw::CS_OWNDC | pw::CS_SAVEBITS;
  list.lpfnWndProc = CB_Colvanec;
  list.lpszClassName = kComboListClass;
  edit.style |= pw::CS_GLOBALCLASS;
  edit.lpfnWndProc = CB_EditProc;
  edit.hInstance = module;
  edit.lpszClassName = kComboEditClass;
  bool ok = pw::RegisterClass(&combo) != 0;
  ok = pw::RegisterClass(&list) != 0 && ok;
  ok = pw::RegisterClass(&edit) != 0 && ok;
  return ok;
}

void UnregisterComboClasses(pw::HINSTANCE module) {
  pw::UnregisterClass(kComboClass, module);
  pw::UnregisterClass(kComboListClass, module);
  pw::UnregisterClass(kComboEditClass, module);
}

}  // namespace lindra

// The three window procedures under their own names, for programs that
// subclass or superclass the combo's windows.
LINDRA_API plat::win::LRESULT ComboProc(plat::win::HWND h, plat::win::UINT m, plat::win::WPARAM w,
                                        plat::win::LPARAM l) {
  return lindra::ComboProc(h, m, w, l);
}
LINDRA_API plat::win::LRESULT CB_EditProc(plat::win::HWND h, plat::win::UINT m, plat::win::WPARAM w,
                                          plat::win::LPARAM l) {
  return lindra::CB_EditProc(h, m, w, l);
}
LINDRA_API plat::win::LRESULT CB_Colvanec(plat::win::HWND h, plat::win::UINT m, plat::win::WPARAM w,
                                          plat::win::LPARAM l) {
  return lindra::CB_Colvanec(h, m, w, l);
}
