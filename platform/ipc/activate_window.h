#pragma once
// What the holder of a class does on an activation request: restore its
// main window when minimised, raise it and ask for activation. The window
// manager may refuse to give the focus; the window is then at least shown
// and raised.

class QWidget;

namespace plat::ipc {

void activateTopLevel(QWidget* window);

}  // namespace plat::ipc
