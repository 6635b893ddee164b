// The Qt backend: runs the message pump from Qt's event loop and shows
// top-level layer windows. See qt_backend.h.

#include <QGuiApplication>
#include <QScreen>

#include "platform/win/window.h"

namespace plat::win::detail {

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

void installQtBackendIfPossible() {}

}  // namespace plat::win::detail
