#include "listctl/core/dispatch.h"

#include <algorithm>
#include <cstring>

#include "listctl/core/instance.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/view_model.h"
#include "listctl/view/list_view.h"
#include "listctl/state/saved_state.h"
#include "listctl/store/store.h"
#include "platform/win/gdi.h"
#include "platform/win/scrollbar.h"
#include "platform/win/window.h"

namespace lindra {

namespace pw = plat::win;

namespace {

constexpr UINT kPending0x603Bit = 0x40;
constexpr int kEnableKeyEvents = 156, kEnableMouseEvents = 157;

// The pending steps (messages 0x600..0x609).
void frameChanged(LbxInstance*, HWND hwnd) {
  pw::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                   pw::SWP_NOMOVE | pw::SWP_NOSIZE | pw::SWP_NOZORDER | pw::SWP_NOACTIVATE | pw::SWP_FRAMECHANGED);
}
void redrawFrameStep(LbxInstance*, HWND hwnd) { pw::RedrawWindow(hwnd, nullptr, nullptr, pw::RDW_FRAME | pw::RDW_INVALIDATE); }
void invalidateStep(LbxInstance* inst, HWND hwnd) {
  if (!(inst->styleWord & kStyleNoRedraw)) pw::InvalidateRect(hwnd, nullptr, pw::TRUE);
}
void barsStep(LbxInstance* inst, HWND) { view::layoutBars(inst); }
void relayStep(LbxInstance* inst, HWND hwnd) {
  view::layoutBars(inst);
  invalidateStep(inst, hwnd);
}
// The row height and average character width follow the list font.
void measureFont(LbxInstance* inst, HWND hwnd) {
  pw::HDC dc = pw::GetDC(hwnd);
  if (!dc) return;
  pw::HGDIOBJ old = inst->hfont ? pw::SelectObject(dc, inst->hfont) : nullptr;
  pw::TEXTMETRIC tm;
  pw::GetTextMetrics(dc, &tm);
  // Rows leave room above the ascent for accents that rise beyond it.
  inst->accentRoom = std::max(0, pw::GetTextInkAscent(dc) - static_cast<int>(tm.tmAscent));
  if (old) pw::SelectObject(dc, old);
  pw::ReleaseDC(hwnd, dc);
  if (!(inst->style & LBS_OWNERDRAWFIXED)) inst->rowHeight = tm.tmHeight + tm.tmExternalLeading + inst->accentRoom;
  inst->columnWidth = tm.tmAveCharWidth;
}
void metricsStep(LbxInstance* inst, HWND hwnd) {
  measureFont(inst, hwnd);
  relayStep(inst, hwnd);
}

bool keyEvents(LbxInstance* inst) { return inst->keyNotify && viewValue(inst, kEnableKeyEvents) != 0; }
bool mouseEvents(LbxInstance* inst) { return inst->notifyEnable && viewValue(inst, kEnableMouseEvents) != 0; }

DispatchResult def() { return {0, true}; }
DispatchResult val(LRESULT v) { return {v, false}; }

void redraw(LbxInstance* inst, HWND hwnd) {
  if (!(inst->styleWord & kStyleNoRedraw)) pw::InvalidateRect(hwnd, nullptr, pw::TRUE);
}

void redrawFrame(HWND hwnd) { pw::RedrawWindow(hwnd, nullptr, nullptr, pw::RDW_FRAME | pw::RDW_INVALIDATE); }

unsigned shiftState() {
  unsigned s = 0;
  if (pw::GetKeyState(pw::VK_SHIFT) < 0) s |= 1;
  if (pw::GetKeyState(pw::VK_CONTROL) < 0) s |= 2;
  if (pw::GetKeyState(pw::VK_MENU) < 0) s |= 4;
  return s;
}

void releaseCapture(LbxInstance* inst, HWND hwnd) {
  if (pw::GetCapture() == hwnd) pw::ReleaseCapture();
  inst->captured = false;
  inst->dragging = false;
}

// Copies `text` into a caller's buffer of `capacity` bytes, cut at a
// character boundary; answers the length copied.
LRESULT copyOut(const std::string& text, WPARAM capacity, LPARAM buffer) {
  if (!buffer || capacity == 0) return static_cast<LRESULT>(text.size());
  std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
  while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  auto* out = reinterpret_cast<char*>(buffer);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<LRESULT>(n);
}

DispatchResult runPending(LbxInstance* inst, HWND hwnd, UINT msg) {
  if (msg == 0x602) {
    if (inst->scrollPending) {
      inst->scrollPending = false;
      if (auto step = behaviour().pending[2]) step(inst, hwnd);
      inst->scrollAmount = 0;
    }
    return val(0);
  }
  if (msg == 0x604) {
    if (inst->tipArmed) {
      inst->tipArmed = false;
      if (auto step = behaviour().pending[4]) step(inst, hwnd);
    }
    return val(0);
  }
  const std::uint32_t bit = pendingBit(msg);
  if (bit == 0 || !(inst->pending & bit)) return val(0);
  inst->pending &= ~bit;
  if (auto step = behaviour().pending[msg - kMsgPendingFirst]) step(inst, hwnd);
  return val(0);
}

DispatchResult keyDown(LbxInstance* inst, HWND hwnd, WPARAM wParam) {
  unsigned key = static_cast<unsigned>(wParam & 0xFFFF);
  const unsigned shifts = shiftState();
  if (keyEvents(inst)) {
    if (HWND target = notifyTargetOf(inst)) {
      LbxKeyNotify n{static_cast<std::uint16_t>(key), static_cast<std::uint16_t>(shifts)};
      pw::SendMessage(target, kNotifyKeyDown, inst->controlId, reinterpret_cast<LPARAM>(&n));
      if (instanceOf(hwnd) != inst) return def();
      key = n.key;
    }
  }
  if (key == 0) return def();
  behaviour().keyboard(inst, hwnd, key, shifts);
  return def();
}

DispatchResult character(LbxInstance* inst, HWND hwnd, WPARAM wParam) {
  auto ch = static_cast<std::uint32_t>(wParam);
  if (keyEvents(inst)) {
    if (HWND target = notifyTargetOf(inst)) {
      pw::SendMessage(target, kNotifyChar, inst->controlId, reinterpret_cast<LPARAM>(&ch));
      if (instanceOf(hwnd) != inst) return def();
    }
  }
  if (ch != 0) behaviour().typeAhead(inst, hwnd, static_cast<char32_t>(ch));
  return def();
}

DispatchResult currentText(LbxInstance* inst, WPARAM wParam, LPARAM lParam, bool lengthOnly) {
  std::string text;
  const int column = static_cast<pw::LONG>(wParam) == -1 ? -1 : static_cast<int>(wParam);
  if (inst->curSel < 0 || !storeItemText(inst, inst->curSel, column, &text)) {
    if (!lengthOnly && lParam) *reinterpret_cast<char*>(lParam) = '\0';
    return val(lengthOnly ? 0 : 1);
  }
  if (lengthOnly) return val(static_cast<LRESULT>(text.size()));
  // The caller's buffer holds the text and its NUL.
  return val(copyOut(text, text.size() + 1, lParam));
}

DispatchResult textExtent(LbxInstance* inst, HWND hwnd, WPARAM wParam, LPARAM lParam) {
  std::string text;
  if (lParam) text = reinterpret_cast<const char*>(lParam);
  else if (!storeItemText(inst, static_cast<int>(wParam), -1, &text)) return val(LB_ERR);
  pw::HDC dc = pw::GetDC(hwnd);
  if (!dc) return val(LB_ERR);
  pw::HGDIOBJ old = inst->hfont ? pw::SelectObject(dc, inst->hfont) : nullptr;
  pw::SIZE size;
  pw::GetTextExtentPoint32(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (old) pw::SelectObject(dc, old);
  pw::ReleaseDC(hwnd, dc);
  return val(pw::MAKELONG(size.cx, size.cy));
}

// Draws the 3-D frame around the client area: into the window's own
// device context, or into `dc` (0x471) taken as the window's.
void paintOwnFrame(LbxInstance* inst, HWND hwnd, pw::HDC dc) {
  const view::FrameInsets in = view::frameInsets(inst->frame);
  if (in.left <= 0 && in.right <= 0) return;
  pw::RECT wr, cr;
  pw::GetWindowRect(hwnd, &wr);
  pw::GetClientRect(hwnd, &cr);
  pw::POINT origin{0, 0};
  pw::ClientToScreen(hwnd, &origin);
  const pw::RECT frame{origin.x - wr.left - in.left, origin.y - wr.top - in.top,
                       origin.x - wr.left + cr.right + in.right, origin.y - wr.top + cr.bottom + in.bottom};
  pw::HDC own = dc ? dc : pw::GetWindowDC(hwnd);
  if (!own) return;
  view::paintFrame(inst, own, frame);
  if (!dc) pw::ReleaseDC(hwnd, own);
}

// 0x612: completes a draw request for item `itemID`: its rectangle, state,
// data and the list's identity. 1 when filled, 0 for a bad item.
LRESULT fillDrawRequest(LbxInstance* inst, pw::DRAWITEMSTRUCT* dis) {
  if (!dis) return 0;
  const int row = static_cast<int>(dis->itemID);
  const LbxItem* item = lbxItem(inst, row);
  if (!item || !view::itemRect(inst, row, &dis->rcItem)) return 0;
  const bool multi = (inst->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
  dis->CtlType = ODT_LISTBOX;
  dis->CtlID = inst->controlId;
  dis->hwndItem = inst->hwnd;
  dis->itemAction = pw::ODA_DRAWENTIRE;
  dis->itemState = ((multi ? lbxIsSelected(inst, row) : row == inst->curSel) ? pw::ODS_SELECTED : 0u) |
                   (inst->hasFocus && row == inst->curSel ? pw::ODS_FOCUS : 0u);
  dis->itemData = (inst->style & LBS_OWNERDRAWFIXED) ? item->content : item->itemData;
  return 1;
}

DispatchResult listBoxMessage(LbxInstance* inst, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case LB_DIR:
      return val(LB_ERR);
    case LB_SETTABSTOPS:
      // One tab width in space widths; any other form is refused.
      if (wParam != 1 || !lParam) return val(0);
      inst->tabWidth = std::max(1, *reinterpret_cast<const int*>(lParam));
      redraw(inst, hwnd);
      return val(1);
    case LB_GETITEMHEIGHT: {
      if (static_cast<int>(wParam) == -1) return val(view::geometry(inst).headerHeight());
      const int own = storeItemHeight(inst, static_cast<int>(wParam));
      return val(own >= 0 ? own : inst->rowHeight);
    }
    case LB_GETHITROW:
      return val(inst->hitRow);
    case LB_GETCOUNT:
      return val(inst->itemCount);
    case LB_GETTOPINDEX:
      return val(inst->topIndex);
    case LB_SETTOPINDEX: {
      const int index = static_cast<int>(static_cast<pw::LONG>(wParam));
      if (index < 0 || (index >= inst->itemCount && inst->itemCount > 0)) return val(LB_ERR);
      view::setTop(inst, index);
      return val(0);
    }
    case LB_GETITEMRECT: {
      pw::RECT r;
      if (!lParam || !view::itemRect(inst, static_cast<int>(static_cast<pw::LONG>(wParam)), &r)) return val(LB_ERR);
      *reinterpret_cast<pw::RECT*>(lParam) = r;
      return val(1);
    }
    case LB_GETHORIZONTALEXTENT:
      return val(inst->horzExtent);
    case LB_SETHORIZONTALEXTENT:
      inst->horzExtent = static_cast<int>(wParam & 0xFFFF);
      postPending(inst, 0x609);
      return val(0);
    case LB_SETCOLUMNWIDTH:
      inst->columnWidth = static_cast<int>(wParam & 0xFFFF);
      redraw(inst, hwnd);
      return val(0);
    case LB_GETCURSEL:
      return val(inst->curSel);
    case LB_GETCARETINDEX:
      return val(inst->curSel);
    case LB_SELECTSTRING:
      if ((wParam & 0xFFFF) == 0xFFFF) wParam = static_cast<WPARAM>(-1);
      return val(storeMessage(inst, hwnd, msg, wParam, lParam));
    case LB_SELITEMRANGE:
      // The first and last items travel in the two halves of lParam.
      return val(storeMessage(inst, hwnd, msg, wParam, lParam));
    case LB_GETITEMDATA:
    case LB_SETITEMDATA: {
      const LRESULT r = storeMessage(inst, hwnd, msg, wParam, lParam);
      if (msg == LB_SETITEMDATA) return val(r == LB_ERR ? LB_ERR : 0);
      return val(r);
    }
    default:
      return val(storeMessage(inst, hwnd, msg, wParam, lParam));
  }
}

}  // namespace

ListBehaviour& behaviour() {
  static ListBehaviour b{view::wheel, view::keyboard, view::typeAhead, view::button, view::paint,
                         {frameChanged, redrawFrameStep, nullptr, nullptr, nullptr, invalidateStep, relayStep,
                          metricsStep, metricsStep, barsStep}};
  return b;
}

LbxInstance* instanceOf(HWND hwnd) {
  if (!pw::IsWindow(hwnd)) return nullptr;
  return reinterpret_cast<LbxInstance*>(pw::GetWindowLongPtr(hwnd, 0));
}

HWND notifyTargetOf(const LbxInstance* inst) {
  if (inst->notifyTarget && pw::IsWindow(inst->notifyTarget)) return inst->notifyTarget;
  if (inst->comboOwner && pw::IsWindow(inst->comboOwner)) return inst->comboOwner;
  return inst->parent;
}

void notifyCommand(LbxInstance* inst, unsigned code) {
  HWND target = notifyTargetOf(inst);
  if (!target) return;
  pw::SendMessage(target, pw::WM_COMMAND, pw::MAKEWPARAM(inst->controlId, static_cast<int>(code)),
                  reinterpret_cast<LPARAM>(inst->hwnd));
}

std::uint32_t pendingBit(UINT msg) {
  switch (msg) {
    case 0x600: return 0x200;
    case 0x601: return 0x400;
    case 0x603: return kPending0x603Bit;
    case 0x605: return 0x2000;
    case 0x606: return 0x8000;
    case 0x607: return 0x800;
    case 0x608: return 0x1000;
    case 0x609: return 0x4000;
    default: return 0;
  }
}

void postPending(LbxInstance* inst, UINT msg) {
  if (msg == 0x602) {
    if (!inst->scrollPending) {
      inst->scrollPending = true;
      pw::PostMessage(inst->hwnd, msg, 0, 0);
    }
    return;
  }
  if (msg == 0x604) {
    if (!inst->tipArmed) {
      inst->tipArmed = true;
      pw::PostMessage(inst->hwnd, msg, 0, 0);
    }
    return;
  }
  const std::uint32_t bit = pendingBit(msg);
  if (bit == 0 || (inst->pending & bit)) return;
  inst->pending |= bit;
  pw::PostMessage(inst->hwnd, msg, 0, 0);
}

pw::HGLOBAL globalTextCopy(std::string_view text) {
  pw::HGLOBAL mem = pw::GlobalAlloc(pw::GHND, text.size() + 1);
  if (!mem) return nullptr;
  auto* p = static_cast<char*>(pw::GlobalLock(mem));
  std::memcpy(p, text.data(), text.size());
  p[text.size()] = '\0';
  pw::GlobalUnlock(mem);
  return mem;
}

DispatchResult ListBoxDispatch(LbxInstance* inst, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (behaviour().wheelFilter(inst, hwnd, msg, wParam, lParam, inst->wheelForward)) return val(1);

  if (msg >= 0x180 && msg <= 0x1B3) return listBoxMessage(inst, hwnd, msg, wParam, lParam);
  if (msg >= kMsgPendingFirst && msg <= kMsgPendingLast) return runPending(inst, hwnd, msg);

  switch (msg) {
    // ---- window messages
    case pw::WM_SIZE:
      inst->clientWidth = pw::GET_X_LPARAM(lParam);
      inst->clientHeight = pw::GET_Y_LPARAM(lParam);
      postPending(inst, 0x609);
      return val(0);
    case pw::WM_SETFOCUS:
      inst->hasFocus = true;
      redraw(inst, hwnd);
      if (inst->style & LBS_NOTIFY) notifyCommand(inst, LBN_SETFOCUS);
      if (pw::IsWindow(hwnd)) redrawFrame(hwnd);
      return def();
    case pw::WM_KILLFOCUS:
      view::hideTip(inst);
      if (inst->captured) releaseCapture(inst, hwnd);
      std::memset(inst->typeAhead, 0, sizeof inst->typeAhead);
      inst->hasFocus = false;
      redraw(inst, hwnd);
      if (inst->style & LBS_NOTIFY) notifyCommand(inst, LBN_KILLFOCUS);
      if (pw::IsWindow(hwnd)) redrawFrame(hwnd);
      return def();
    case pw::WM_ENABLE:
      redraw(inst, hwnd);
      return val(0);
    case pw::WM_SETREDRAW:
      if (wParam == 0) inst->styleWord |= kStyleNoRedraw;
      else inst->styleWord &= ~kStyleNoRedraw;
      return val(0);
    case pw::WM_SETTEXT:
      return val(LB_ERRSPACE);
    case pw::WM_GETTEXT: {
      if (inst->style & LBS_OWNERDRAWFIXED) return val(LB_ERR);
      std::string text;
      if (inst->curSel < 0 || !storeItemText(inst, inst->curSel, -1, &text)) text.clear();
      // wParam is the capacity of the caller's buffer, its NUL included.
      if (!lParam || wParam == 0) return val(0);
      return val(copyOut(text, wParam, lParam));
    }
    case pw::WM_PAINT: {
      pw::PAINTSTRUCT ps;
      pw::HDC dc = pw::BeginPaint(hwnd, &ps);
      if (dc) behaviour().paint(inst, hwnd, dc);
      pw::EndPaint(hwnd, &ps);
      inst->eraseNext = false;
      return val(0);
    }
    case pw::WM_ERASEBKGND:
      inst->eraseNext = true;
      return val(1);
    case pw::WM_SYSCOLORCHANGE:
      pw::InvalidateRect(hwnd, nullptr, pw::TRUE);
      return def();
    case pw::WM_CANCELMODE:
      if (inst->captured) releaseCapture(inst, hwnd);
      return def();
    case pw::WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) != hwnd) return val(0);
      if (inst->hitCursor) {
        pw::SetCursor(inst->hitCursor);
        return val(1);
      }
      if (inst->parent && pw::SendMessage(inst->parent, msg, wParam, lParam)) return val(1);
      pw::SetCursor(pw::LoadCursor(nullptr, pw::MAKEINTRESOURCE(pw::IDC_ARROW)));
      return val(1);
    case pw::WM_MOUSEACTIVATE:
      if (pw::GetFocus() != hwnd) pw::SetFocus(hwnd);
      return val(pw::MA_ACTIVATE);
    case pw::WM_SETFONT:
      inst->hfont = reinterpret_cast<pw::HFONT>(wParam);
      measureFont(inst, hwnd);
      postPending(inst, 0x609);
      if (lParam) redraw(inst, hwnd);
      return val(0);
    case pw::WM_GETFONT:
      return val(reinterpret_cast<LRESULT>(inst->hfont));
    case pw::WM_NCCALCSIZE: {
      // The window's own border first, then the list's 3-D frame inside it.
      pw::DefWindowProc(hwnd, msg, wParam, lParam);
      if (lParam) {
        pw::RECT* r = wParam ? &reinterpret_cast<pw::NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                             : reinterpret_cast<pw::RECT*>(lParam);
        const view::FrameInsets in = view::frameInsets(inst->frame);
        r->left += in.left;
        r->top += in.top;
        r->right = std::max(r->left, r->right - in.right);
        r->bottom = std::max(r->top, r->bottom - in.bottom);
      }
      return val(0);
    }
    case pw::WM_NCHITTEST: {
      // A column or group border under the mouse chooses the resize cursor.
      pw::POINT pt{pw::GET_X_LPARAM(lParam), pw::GET_Y_LPARAM(lParam)};
      pw::ScreenToClient(hwnd, &pt);
      inst->hitCursor = view::borderCursorAt(inst, pt);
      return val(pw::HTCLIENT);
    }
    case pw::WM_NCPAINT:
      if (pw::IsWindowVisible(hwnd)) {
        if (inst->pending & pendingBit(0x601)) runPending(inst, hwnd, 0x601);
        if (inst->pending & pendingBit(0x600)) runPending(inst, hwnd, 0x600);
        pw::DefWindowProc(hwnd, msg, wParam, lParam);
        paintOwnFrame(inst, hwnd, nullptr);
        if (inst->pending & kPending0x603Bit) pw::SendMessage(hwnd, 0x603, 0, 0);
      }
      return val(0);
    case pw::WM_NCACTIVATE:
      if (wParam == 1) pw::SetFocus(hwnd);
      return def();
    case pw::WM_GETDLGCODE:
      return val(pw::DLGC_WANTARROWS | pw::DLGC_WANTCHARS);
    case pw::WM_KEYDOWN:
    case pw::WM_SYSKEYDOWN:
      return keyDown(inst, hwnd, wParam);
    case pw::WM_KEYUP:
      if ((inst->style & LBS_EXTENDEDSEL) && wParam == static_cast<WPARAM>(pw::VK_F8) &&
          pw::GetKeyState(pw::VK_SHIFT) < 0) {
        inst->addMode = !inst->addMode;
        if (inst->addMode) pw::SetTimer(hwnd, kCaretBlinkTimer, 500, nullptr);
        else pw::KillTimer(hwnd, kCaretBlinkTimer);
      }
      return def();
    case pw::WM_CHAR:
      return character(inst, hwnd, wParam);
    case pw::WM_TIMER:
      if (wParam == view::kTipTimer) view::tipTick(inst, hwnd);
      if (wParam == kCaretBlinkTimer) {
        inst->caretBlink = !inst->caretBlink;
        redraw(inst, hwnd);
      }
      return def();
    case pw::WM_HSCROLL:
    case pw::WM_VSCROLL: {
      // From the list's own bars (lParam) or sent by a program (lParam 0).
      int thumb = pw::HIWORD(static_cast<pw::ULONG_PTR>(wParam));
      if (HWND bar = reinterpret_cast<HWND>(lParam)) {
        pw::SCROLLINFO si;
        si.fMask = pw::SIF_TRACKPOS;
        if (pw::GetScrollInfo(bar, pw::SB_CTL, &si)) thumb = si.nTrackPos;
      }
      view::hideTip(inst);
      view::scroll(inst, msg == pw::WM_VSCROLL, pw::LOWORD(static_cast<pw::ULONG_PTR>(wParam)), thumb);
      if (msg == pw::WM_VSCROLL && pw::IsWindow(hwnd)) pw::UpdateWindow(hwnd);
      return val(0);
    }
    case pw::WM_LBUTTONDOWN:
      inst->shiftDown = (wParam & pw::MK_SHIFT) != 0;
      inst->ctrlDown = (wParam & pw::MK_CONTROL) != 0;
      behaviour().button(inst, hwnd, 1, false, lParam);
      if (instanceOf(hwnd) == inst && mouseEvents(inst))
        if (HWND t = notifyTargetOf(inst)) pw::SendMessage(t, kNotifyLButtonDown, inst->controlId, lParam);
      return val(0);
    case pw::WM_LBUTTONUP:
      view::buttonUp(inst, hwnd, lParam);
      return val(0);
    case pw::WM_LBUTTONDBLCLK:
      inst->shiftDown = (wParam & pw::MK_SHIFT) != 0;
      inst->ctrlDown = (wParam & pw::MK_CONTROL) != 0;
      behaviour().button(inst, hwnd, 1, true, lParam);
      if (instanceOf(hwnd) == inst && mouseEvents(inst))
        if (HWND t = notifyTargetOf(inst)) pw::SendMessage(t, kNotifyLDoubleClick, inst->controlId, lParam);
      return val(0);
    case pw::WM_RBUTTONDBLCLK:
      behaviour().button(inst, hwnd, 2, true, lParam);
      return val(0);
    case pw::WM_MBUTTONDBLCLK:
      behaviour().button(inst, hwnd, 1, true, lParam);
      return val(0);
    case pw::WM_RBUTTONDOWN:
    case pw::WM_RBUTTONUP:
    case pw::WM_MBUTTONDOWN:
    case pw::WM_MBUTTONUP:
      return val(0);
    case pw::WM_MOUSEMOVE:
      view::mouseMove(inst, hwnd, lParam);
      return val(0);
    case pw::WM_CAPTURECHANGED:
      inst->captured = false;
      inst->dragging = false;
      return def();
    case pw::WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wParam) != hwnd && !inst->hasFocus) pw::InvalidateRect(hwnd, nullptr, pw::FALSE);
      return def();
    case pw::WM_PRINT:
      if ((lParam & 0x4) && wParam) behaviour().paint(inst, hwnd, reinterpret_cast<pw::HDC>(wParam));
      return val(0);

    // ---- library messages
    case kMsgGetFrame:
      if (lParam) std::memcpy(reinterpret_cast<void*>(lParam), inst->frame, kFrameRecordSize);
      return val(0);
    case kMsgSetFrame:
      if (lParam) std::memcpy(inst->frame, reinterpret_cast<const void*>(lParam), kFrameRecordSize);
      pw::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       pw::SWP_NOMOVE | pw::SWP_NOSIZE | pw::SWP_NOZORDER | pw::SWP_NOACTIVATE |
                           pw::SWP_FRAMECHANGED);
      return val(0);
    case kMsgPaintFrame:
      paintOwnFrame(inst, hwnd, reinterpret_cast<pw::HDC>(wParam));
      return val(0);
    case kMsgSetMultiSel: {
      if (wParam) inst->style |= LBS_MULTIPLESEL;
      else inst->style &= ~LBS_MULTIPLESEL;
      pw::LONG ws = pw::GetWindowLong(hwnd, pw::GWL_STYLE);
      ws = wParam ? (ws | static_cast<pw::LONG>(LBS_MULTIPLESEL)) : (ws & ~static_cast<pw::LONG>(LBS_MULTIPLESEL));
      pw::SetWindowLong(hwnd, pw::GWL_STYLE, ws);
      pw::PostMessage(hwnd, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
      return val(0);
    }
    case kMsgTextExtent:
      return textExtent(inst, hwnd, wParam, lParam);
    case kMsgLastHitCell:
      if (inst->hitRow < 0 || inst->hitColumn == kNoHandle) return val(-1);
      return val(pw::MAKELONG(inst->hitColumn, inst->hitRow));
    case kMsgSetProperty:
    case kMsgSetPropertyAlias:
      return val(propertySet(inst, hwnd, wParam, lParam));
    case kMsgGetProperty:
    case kMsgGetPropertyAlias:
      return val(propertyGet(inst, hwnd, wParam, lParam));
    case kMsgSetValueBlock:
      return val(LB_ERR);
    case kMsgRecomputeMetrics:
      postPending(inst, 0x609);
      return val(0);
    case kMsgResize:
      pw::SetWindowPos(hwnd, nullptr, 0, 0, pw::LOWORD(static_cast<pw::ULONG_PTR>(lParam)),
                       pw::HIWORD(static_cast<pw::ULONG_PTR>(lParam)),
                       pw::SWP_NOMOVE | pw::SWP_NOZORDER | pw::SWP_NOACTIVATE);
      return val(0);
    case kMsgGetNotifyTarget:
      return val(reinterpret_cast<LRESULT>(inst->notifyTarget));
    case kMsgSetNotifyTarget: {
      HWND old = inst->notifyTarget;
      inst->notifyTarget = reinterpret_cast<HWND>(lParam);
      if (!inst->firstNotify) inst->firstNotify = inst->notifyTarget;
      return val(reinterpret_cast<LRESULT>(old));
    }
    case kNotifyFirstTarget:
      if (inst->firstNotify && pw::IsWindow(inst->firstNotify))
        return val(pw::SendMessage(inst->firstNotify, msg, wParam, lParam));
      return val(0);
    case kMsgDrawRequest:
      return val(fillDrawRequest(inst, reinterpret_cast<pw::DRAWITEMSTRUCT*>(lParam)));
    case kMsgCurrentText:
      return currentText(inst, wParam, lParam, false);
    case kMsgCurrentTextLength:
      return currentText(inst, wParam, lParam, true);
    case kMsgColumnsChanged:
      postPending(inst, 0x606);
      return val(0);
    case kMsgSetOwnerValue:
      inst->ownerValue = lParam;
      return val(0);
    case kMsgTipQuery1:  // the tip window while one is shown, else 0
      return val(reinterpret_cast<LRESULT>(inst->tipWindow));
    case kMsgTipQuery2:  // the tip's cell: row in the high, column in the low half; -1 when none
      if (!inst->tipWindow) return val(-1);
      return val(pw::MAKELONG(static_cast<pw::WORD>(inst->tipColumn), static_cast<pw::WORD>(inst->tipRow)));
    case kMsgLoadState:  // lParam: a block made by the save message, which stays the caller's
      return val(state::setStateBlob(inst, state::kStateProperty, reinterpret_cast<pw::HGLOBAL>(lParam)));
    case kMsgSaveState:  // a new block the caller frees, 0 when the stream could not be made
      return val(reinterpret_cast<LRESULT>(state::getStateBlob(inst, state::kStateProperty)));
    default:
      return def();
  }
}

LRESULT ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == pw::WM_NCCREATE) {
    if (!createInstance(hwnd, reinterpret_cast<const pw::CREATESTRUCT*>(lParam))) return 0;
    return pw::DefWindowProc(hwnd, msg, wParam, lParam);
  }
  if (msg == pw::WM_DESTROY) {
    destroyInstance(hwnd);
    return 0;
  }
  LbxInstance* inst = instanceOf(hwnd);
  if (!inst) return pw::DefWindowProc(hwnd, msg, wParam, lParam);
  const DispatchResult r = ListBoxDispatch(inst, hwnd, msg, wParam, lParam);
  if (r.useDefault) return pw::DefWindowProc(hwnd, msg, wParam, lParam);
  return r.value;
}

}  // namespace lindra
