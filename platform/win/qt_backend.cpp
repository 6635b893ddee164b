// The Qt backend: runs the message pump from Qt's event loop and shows
// top-level layer windows. See qt_backend.h.

#include "platform/win/qt_backend.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QBitmap>
#include <QCursor>
#include <QImage>
#include <QTimer>
#include <QWheelEvent>

#include <map>

#include "platform/win/gdi_qt.h"
#include "platform/win/window.h"

namespace plat::win {

namespace {

class QtBackend : public QObject, public Backend {
 public:
  QtBackend() {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { run(); });
  }

  void wake(std::int64_t dueInMs) override {
    if (QThread::currentThread() != thread()) {
      QMetaObject::invokeMethod(this, [this, dueInMs] { schedule(dueInMs); }, Qt::QueuedConnection);
      return;
    }
    schedule(dueInMs);
  }

  void windowCreated(HWND) override {}

  void windowDestroyed(HWND h) override {
    auto it = views_.find(h);
    if (it == views_.end()) return;
    QPointer<LayerView> v = it->second;
    bool own = owned_.count(h) != 0;
    views_.erase(it);
    owned_.erase(h);
    if (v) {
      v->setLayerWindow(nullptr);
      if (own) v->deleteLater();
    }
  }

  void windowChanged(HWND h) override {
    if (GetParent(h) && (GetWindowLong(h, GWL_STYLE) & static_cast<LONG>(WS_CHILD))) {
      imageChanged(h);
      return;
    }
    LayerView* v = view(h);
    bool visible = IsWindowVisible(h);
    if (!v && visible && !hostedWindows().count(h)) {
      bool popup = (static_cast<DWORD>(GetWindowLong(h, GWL_STYLE)) & WS_POPUP) != 0;
      // Popups (drop-down lists) are tool-tip windows: shown on top, never
      // activated, and without the mouse grab of Qt's own popups.
      Qt::WindowFlags f = popup ? (Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
                                : (Qt::Window | Qt::FramelessWindowHint);
      v = new LayerView(nullptr, f);
      if (popup) v->setAttribute(Qt::WA_ShowWithoutActivating);
      v->setLayerWindow(h);
      views_[h] = v;
      owned_[h] = true;
    }
    if (!v || !owned_.count(h)) {
      if (v) v->update();
      return;
    }
    RECT r;
    GetWindowRect(h, &r);
    v->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    v->setEnabled(IsWindowEnabled(h));
    if (visible && !v->isVisible()) v->show();
    if (!visible && v->isVisible()) v->hide();
    v->update();
  }

  void imageChanged(HWND h) override {
    if (LayerView* v = view(GetAncestorTop(h))) v->update();
  }

  void focusChanged(HWND, HWND now) override {
    if (!now) return;
    LayerView* v = view(GetAncestorTop(now));
    if (v && v->isVisible() && !v->hasFocus() && v->focusPolicy() != Qt::NoFocus)
      v->setFocus(Qt::OtherFocusReason);
  }

  // The cursor the layer chose shows over every view of the layer.
  void cursorChanged(HCURSOR c) override {
    const QCursor cursor = qtCursor(c);
    for (auto& [h, v] : views_)
      if (v) v->setCursor(cursor);
  }

  static QCursor qtCursor(HCURSOR c) {
    if (const detail::CursorImage* img = detail::cursorImage(c)) {
      // Win32 planes: AND 1 is transparent; elsewhere XOR 0 black, 1 white.
      QImage bits(img->width, img->height, QImage::Format_Mono), mask(img->width, img->height, QImage::Format_Mono);
      const int stride = (img->width + 15) / 16 * 2;
      for (int y = 0; y < img->height; ++y)
        for (int x = 0; x < img->width; ++x) {
          const std::size_t at = static_cast<std::size_t>(y * stride + x / 8);
          const int bit = 0x80 >> (x % 8);
          const bool transparent = (img->andPlane[at] & bit) && !(img->xorPlane[at] & bit);
          const bool white = !(img->andPlane[at] & bit) && (img->xorPlane[at] & bit);
          // QCursor: mask 1 shows the pixel, bitmap 1 paints it black.
          mask.setPixel(x, y, transparent ? 0 : 1);
          bits.setPixel(x, y, transparent || white ? 0 : 1);
        }
      return QCursor(QBitmap::fromImage(bits), QBitmap::fromImage(mask), img->xHot, img->yHot);
    }
    switch (reinterpret_cast<std::uintptr_t>(c)) {
      case IDC_IBEAM: return QCursor(Qt::IBeamCursor);
      case IDC_WAIT: return QCursor(Qt::WaitCursor);
      case IDC_CROSS: return QCursor(Qt::CrossCursor);
      case IDC_SIZEWE: return QCursor(Qt::SizeHorCursor);
      case IDC_SIZENS: return QCursor(Qt::SizeVerCursor);
      case IDC_HAND: return QCursor(Qt::PointingHandCursor);
      default: return QCursor(Qt::ArrowCursor);
    }
  }

  LayerView* view(HWND h) {
    auto it = views_.find(h);
    return it == views_.end() ? nullptr : it->second.data();
  }
  void addView(HWND h, LayerView* v) { views_[h] = v; }
  void removeView(HWND h, LayerView* v) {
    auto it = views_.find(h);
    if (it != views_.end() && it->second == v) views_.erase(it);
  }
  static std::map<HWND, bool>& hostedWindows() {
    static std::map<HWND, bool> m;
    return m;
  }

 private:
  void schedule(std::int64_t due) {
    if (due <= 0) {
      if (!pending_) {
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
          pending_ = false;
          run();
        });
      }
      return;
    }
    if (!timer_.isActive() || timer_.remainingTime() > due) timer_.start(static_cast<int>(due));
  }
  void run() { pumpMessages(); }

  QTimer timer_;
  bool pending_ = false;
  std::map<HWND, QPointer<LayerView>> views_;
  std::map<HWND, bool> owned_;
};

QtBackend* g_backend = nullptr;

void syncModifiers(Qt::KeyboardModifiers m) {
  setKeyState(VK_SHIFT, (m & Qt::ShiftModifier) != 0);
  setKeyState(VK_CONTROL, (m & Qt::ControlModifier) != 0);
  setKeyState(VK_MENU, (m & Qt::AltModifier) != 0);
}

POINT screenPoint(const QPointF& global) {
  QPoint p = global.toPoint();
  return {p.x(), p.y()};
}

}  // namespace

namespace detail {

bool queryQtScreen(int* width, int* height, int* dpi) {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!app) return false;
  QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return false;
  QRect g = s->geometry();
  *width = g.width();
  *height = g.height();
  *dpi = static_cast<int>(s->logicalDotsPerInchY() + 0.5);
  return true;
}

void installQtBackendIfPossible() {
  if (g_backend || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  g_backend = new QtBackend;  // lives for the process, like the registry
  setBackend(g_backend);
}

void registerHostedView(HWND h, LayerView* v) {
  installQtBackendIfPossible();
  QtBackend::hostedWindows()[h] = true;
  if (g_backend) g_backend->addView(h, v);
}

void unregisterHostedView(HWND h, LayerView* v) {
  QtBackend::hostedWindows().erase(h);
  if (g_backend) g_backend->removeView(h, v);
}

}  // namespace detail

bool qtBackendActive() { return g_backend != nullptr && backend() == g_backend; }

QWidget* widgetForWindow(HWND top) { return g_backend ? g_backend->view(top) : nullptr; }

int virtualKeyFromQt(int k) {
  if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9)) return k;
  if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return VK_F1 + (k - Qt::Key_F1);
  switch (k) {
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    default: return 0;
  }
}

// ---------------------------------------------------------------- LayerView

LayerView::LayerView(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {
  setAttribute(Qt::WA_InputMethodEnabled);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

LayerView::~LayerView() = default;

void LayerView::setLayerWindow(HWND top) { hwnd_ = top; update(); }

void LayerView::syncGeometry() {
  if (!hosted_ || !IsWindow(hwnd_)) return;
  QPoint g = mapToGlobal(QPoint(0, 0));
  RECT r;
  GetWindowRect(hwnd_, &r);
  if (r.left != g.x() || r.top != g.y() || r.right - r.left != width() || r.bottom - r.top != height())
    SetWindowPos(hwnd_, nullptr, g.x(), g.y(), width(), height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayerView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!IsWindow(hwnd_)) {
    p.fillRect(rect(), palette().window());
    return;
  }
  // Work that is due (WM_NCPAINT, WM_PAINT) first, so the image is current.
  p.drawImage(0, 0, composeWindowImage(hwnd_));
}

void LayerView::mouse(QMouseEvent* e, bool down) {
  if (!IsWindow(hwnd_)) return;
  syncGeometry();
  syncModifiers(e->modifiers());
  int button = 0;
  switch (e->button()) {
    case Qt::LeftButton: button = 1; break;
    case Qt::RightButton: button = 2; break;
    case Qt::MiddleButton: button = 3; break;
    default: button = 0; break;
  }
  injectMouse(hwnd_, screenPoint(e->globalPosition()), button, button ? down : false);
  e->accept();
}

void LayerView::mousePressEvent(QMouseEvent* e) { mouse(e, true); }
void LayerView::mouseReleaseEvent(QMouseEvent* e) { mouse(e, false); }
// The core decides what a double click is (CS_DBLCLKS classes only).
void LayerView::mouseDoubleClickEvent(QMouseEvent* e) { mouse(e, true); }
void LayerView::mouseMoveEvent(QMouseEvent* e) { mouse(e, false); }

void LayerView::wheelEvent(QWheelEvent* e) {
  if (!IsWindow(hwnd_)) return;
  syncModifiers(e->modifiers());
  // The button state goes into the message's key flags.
  setKeyState(VK_LBUTTON, (e->buttons() & Qt::LeftButton) != 0);
  setKeyState(VK_RBUTTON, (e->buttons() & Qt::RightButton) != 0);
  setKeyState(VK_MBUTTON, (e->buttons() & Qt::MiddleButton) != 0);
  injectWheel(hwnd_, screenPoint(e->globalPosition()), e->angleDelta().y());
  e->accept();
}

void LayerView::deliverKey(QKeyEvent* e, bool down) {
  syncModifiers(e->modifiers());
  bool alt = (e->modifiers() & Qt::AltModifier) != 0;
  int vk = virtualKeyFromQt(e->key());
  UINT sent = vk ? injectKey(vk, down, alt) : 0;
  if (down) {
    // Characters of a system key are WM_SYSCHAR, as the platform's
    // translation makes them.
    bool sysChar = vk ? sent == WM_SYSKEYDOWN : alt && !(e->modifiers() & Qt::ControlModifier);
    const auto cps = e->text().toUcs4();
    for (char32_t c : cps) injectChar(c, sysChar);
  }
}

void LayerView::keyPressEvent(QKeyEvent* e) {
  if (!GetFocus() || GetAncestorTop(GetFocus()) != hwnd_) {
    e->ignore();
    return;
  }
  deliverKey(e, true);
  e->accept();
}

void LayerView::keyReleaseEvent(QKeyEvent* e) {
  if (!GetFocus() || GetAncestorTop(GetFocus()) != hwnd_) {
    e->ignore();
    return;
  }
  deliverKey(e, false);
  e->accept();
}

void LayerView::inputMethodEvent(QInputMethodEvent* e) {
  // A committed text arrives as one WM_CHAR per code point.
  const auto cps = e->commitString().toUcs4();
  for (char32_t c : cps) injectChar(c);
  e->accept();
}

QVariant LayerView::inputMethodQuery(Qt::InputMethodQuery q) const {
  if (q == Qt::ImEnabled) return true;
  if (q == Qt::ImCursorRectangle) return QRect(0, 0, 1, height());
  return QWidget::inputMethodQuery(q);
}

void LayerView::resizeEvent(QResizeEvent*) { syncGeometry(); }
void LayerView::moveEvent(QMoveEvent*) { syncGeometry(); }

void LayerView::showEvent(QShowEvent*) {
  // A hosted view moves on screen when its top-level window moves, which
  // sends it no move event of its own.
  if (hosted_ && window() != this) window()->installEventFilter(this);
  syncGeometry();
}

bool LayerView::eventFilter(QObject* watched, QEvent* e) {
  if (watched == window() && (e->type() == QEvent::Move || e->type() == QEvent::Resize))
    syncGeometry();
  return QWidget::eventFilter(watched, e);
}

}  // namespace plat::win
