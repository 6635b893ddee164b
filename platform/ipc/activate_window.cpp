#include "platform/ipc/activate_window.h"

#include <QWidget>

namespace plat::ipc {

void activateTopLevel(QWidget* window) {
  if (window == nullptr) return;
  QWidget* top = window->window();
  if (top->isMinimized())
    top->showNormal();
  else if (!top->isVisible())
    top->show();
  top->raise();
  top->activateWindow();
}

}  // namespace plat::ipc
