#include "player/shell/splash_wnd.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "shared/buttons/orv_button.h"

namespace {
bool g_enabled = false;
COrv_SplashWnd* g_current = nullptr;
}  // namespace

void COrv_SplashWnd::EnableSplash(bool enable) { g_enabled = enable; }
bool COrv_SplashWnd::IsEnabled() { return g_enabled; }
COrv_SplashWnd* COrv_SplashWnd::Current() { return g_current; }

QPoint COrv_SplashWnd::PlaceFor(int position, QSize size, const QRect& parent, const QRect& screen) {
  if (position == kCentredOnParent && parent.isValid()) {
    return QPoint(parent.x() + (parent.width() - size.width()) / 2, parent.y() + (parent.height() - size.height()) / 2);
  }
  if (position == kTopRightOfParent && parent.isValid()) {
    return QPoint(parent.x() + parent.width() - size.width() - 40, parent.y() + 10);
  }
  return QPoint(screen.x() + (screen.width() - size.width()) / 2, screen.y() + (screen.height() - size.height()) / 2);
}

bool COrv_SplashWnd::ShowSplash(int ms, int position, QWidget* parent) {
  if (!g_enabled || g_current != nullptr) return false;
  QImage picture = tv::buttons::LoadResourceImage(kPicture, false);
  if (picture.isNull()) return false;
  g_current = new COrv_SplashWnd(ms, position, parent, std::move(picture));
  g_current->show();
  g_current->repaint();
  return true;
}

COrv_SplashWnd::COrv_SplashWnd(int ms, int position, QWidget* parent, QImage picture)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(std::move(picture)),
      parent_(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setCursor(Qt::ArrowCursor);
  setFixedSize(picture_.size());
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect screenRect = screen != nullptr ? screen->geometry() : QRect(0, 0, 800, 600);
  const QRect parentRect = parent != nullptr ? parent->frameGeometry() : QRect();
  move(PlaceFor(position, picture_.size(), parentRect, screenRect));
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });
  if (ms > 0) timer_.start(ms);
}

COrv_SplashWnd::~COrv_SplashWnd() {
  if (g_current == this) g_current = nullptr;
}

void COrv_SplashWnd::OnTimer() { close(); }

bool COrv_SplashWnd::PreTranslateSplash(const QEvent* event) {
  if (g_current == nullptr || event == nullptr) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick: {
      QPointer<QWidget> parent = g_current->parent_;
      g_current->close();
      if (parent) parent->update();
      return true;
    }
    default:
      return false;
  }
}

void COrv_SplashWnd::closeEvent(QCloseEvent* e) {
  // Gone for the program from now on, though the object goes a little later.
  if (g_current == this) g_current = nullptr;
  QWidget::closeEvent(e);
}

void COrv_SplashWnd::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, picture_);
}
