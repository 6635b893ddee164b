// The host widget for layer controls inside Qt dialogs. See host_widget.h.

#include "platform/win/host_widget.h"

#include <QKeyEvent>

#include <algorithm>

#include "platform/win/window.h"

namespace plat::win {

namespace detail {
void registerHostedView(HWND h, LayerView* v);
void unregisterHostedView(HWND h, LayerView* v);
}  // namespace detail

namespace {

constexpr const char* kHostClass = "TvHostWindow";

LRESULT hostProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  auto* host = reinterpret_cast<HostWidget*>(GetWindowLongPtr(h, GWLP_USERDATA));
  if (host) return host->hostMessage(h, msg, w, l);
  return DefWindowProc(h, msg, w, l);
}

void ensureHostClass() {
  WNDCLASS wc;
  if (GetClassInfo(nullptr, kHostClass, &wc)) return;
  wc = WNDCLASS{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = hostProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kHostClass;
  RegisterClass(&wc);
}

}  // namespace

HostWidget::HostWidget(QWidget* parent) : LayerView(parent) {
  hosted_ = true;
  setFocusPolicy(Qt::StrongFocus);
  ensureHostClass();
  HWND h = CreateWindowEx(WS_EX_CONTROLPARENT, kHostClass, "", WS_CLIPCHILDREN, 0, 0, 1, 1,
                          nullptr, nullptr, nullptr, nullptr);
  if (h) {
    SetWindowLongPtr(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    detail::registerHostedView(h, this);
  }
  setLayerWindow(h);
}

HostWidget::~HostWidget() {
  HWND h = layerWindow();
  if (IsWindow(h)) {
    detail::unregisterHostedView(h, this);
    SetWindowLongPtr(h, GWLP_USERDATA, 0);
    DestroyWindow(h);
  }
}

LRESULT HostWidget::hostMessage(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_PARENTNOTIFY && LOWORD(w) == WM_CREATE) layoutChildren();
  if (msg == WM_SETFOCUS) {
    // The host itself never keeps the focus: it goes on to a control.
    if (HWND t = focusTarget(); t && t != h) SetFocus(t);
    return 0;
  }
  if (handler_) {
    LRESULT r = 0;
    if (handler_(msg, w, l, &r)) return r;
  }
  return DefWindowProc(h, msg, w, l);
}

HWND HostWidget::focusTarget() const {
  if (IsWindow(lastFocus_) && IsChild(layerWindow(), lastFocus_) && IsWindowEnabled(lastFocus_))
    return lastFocus_;
  // The first enabled, visible child in creation order.
  HWND c = GetWindow(layerWindow(), GW_CHILD);
  HWND first = nullptr;
  for (; c; c = GetWindow(c, GW_HWNDNEXT))
    if (IsWindowEnabled(c) && IsWindowVisible(c)) first = c;
  return first;
}

std::vector<HWND> HostWidget::controls() const {
  std::vector<HWND> out;
  for (HWND c = GetWindow(layerWindow(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    out.push_back(c);
  std::reverse(out.begin(), out.end());  // GW_CHILD gives the newest
  return out;
}

namespace {
bool isTabStop(HWND c) {
  return IsWindowVisible(c) && IsWindowEnabled(c) &&
         (static_cast<DWORD>(GetWindowLong(c, GWL_STYLE)) & WS_TABSTOP) != 0;
}
}  // namespace

HWND HostWidget::firstTabStop(bool last) const {
  std::vector<HWND> kids = controls();
  if (last) std::reverse(kids.begin(), kids.end());
  for (HWND c : kids)
    if (isTabStop(c)) return c;
  return nullptr;
}

bool HostWidget::tabAmongControls(bool forward) {
  HWND f = GetFocus();
  if (!f || !IsChild(layerWindow(), f)) return false;
  while (GetParent(f) != layerWindow()) f = GetParent(f);  // the host's child that holds it
  std::vector<HWND> kids = controls();
  if (!forward) std::reverse(kids.begin(), kids.end());
  auto it = std::find(kids.begin(), kids.end(), f);
  if (it == kids.end()) return false;
  for (++it; it != kids.end(); ++it) {
    if (isTabStop(*it)) {
      SetFocus(*it);
      return GetFocus() == *it;
    }
  }
  return false;
}

void HostWidget::layoutChildren() {
  if (!fill_) return;
  HWND h = layerWindow();
  HWND first = nullptr;
  for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) first = c;
  if (!first) return;
  RECT cr;
  GetClientRect(h, &cr);
  RECT wr;
  GetWindowRect(first, &wr);
  if (wr.right - wr.left != cr.right || wr.bottom - wr.top != cr.bottom)
    MoveWindow(first, 0, 0, cr.right, cr.bottom, TRUE);
}

bool HostWidget::controlWants(QKeyEvent* e) const {
  HWND f = GetFocus();
  if (!f || !IsChild(layerWindow(), f)) return false;
  int vk = virtualKeyFromQt(e->key());
  MSG m;
  m.hwnd = f;
  m.message = WM_KEYDOWN;
  m.wParam = static_cast<WPARAM>(vk);
  LRESULT code = SendMessage(f, WM_GETDLGCODE, static_cast<WPARAM>(vk), reinterpret_cast<LPARAM>(&m));
  if (code & DLGC_WANTALLKEYS) return true;
  switch (vk) {
    case VK_TAB: return (code & DLGC_WANTTAB) != 0;
    case VK_RETURN:
    case VK_ESCAPE: return false;  // the dialog's default button and cancel
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: return (code & DLGC_WANTARROWS) != 0;
    default: break;
  }
  if (vk == 0 || (!e->text().isEmpty() && e->text()[0].isPrint())) return (code & DLGC_WANTCHARS) != 0 || vk != 0;
  return true;
}

bool HostWidget::event(QEvent* e) {
  // Tab moves the Qt focus unless the control asks for it.
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
      if (controlWants(k)) {
        keyPressEvent(k);
        return true;
      }
      bool forward = k->key() == Qt::Key_Tab && !(k->modifiers() & Qt::ShiftModifier);
      if (!(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && tabAmongControls(forward)) {
        k->accept();
        return true;
      }
    }
  }
  return LayerView::event(e);
}

void HostWidget::keyPressEvent(QKeyEvent* e) {
  if (!controlWants(e)) {
    e->ignore();  // on to the dialog
    return;
  }
  deliverKey(e, true);
  e->accept();
}

void HostWidget::keyReleaseEvent(QKeyEvent* e) {
  if (!controlWants(e)) {
    e->ignore();
    return;
  }
  deliverKey(e, false);
  e->accept();
}

void HostWidget::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  HWND f = GetFocus();
  if (f && IsChild(layerWindow(), f)) return;
  // Tab enters at the first tab stop, Shift+Tab at the last; otherwise the
  // control that last had the focus gets it back.
  HWND t = nullptr;
  if (e->reason() == Qt::TabFocusReason) t = firstTabStop(false);
  if (e->reason() == Qt::BacktabFocusReason) t = firstTabStop(true);
  if (!t) t = focusTarget();
  if (t) SetFocus(t);
}

void HostWidget::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  HWND f = GetFocus();
  // Focus left for another Qt widget (not for one of our popups).
  if (f && IsChild(layerWindow(), f) && e->reason() != Qt::PopupFocusReason) {
    lastFocus_ = f;
    SetFocus(nullptr);
  }
}

void HostWidget::showEvent(QShowEvent* e) {
  LayerView::showEvent(e);
  ShowWindow(layerWindow(), SW_SHOWNA);
}

void HostWidget::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  ShowWindow(layerWindow(), SW_HIDE);
}

void HostWidget::resizeEvent(QResizeEvent* e) {
  LayerView::resizeEvent(e);
  layoutChildren();
}

}  // namespace plat::win
