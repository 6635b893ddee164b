#pragma once
// The programs' message sink: a modal QMessageBox per box and
// QApplication::beep for every system sound. Needs a QApplication; used
// only on the UI thread. The header is free of Qt so that code choosing the
// sink need not see Qt.

#include "platform/ui/message_box.h"

class QWidget;

namespace plat::ui {

class QtMessageSink : public MessageSink {
 public:
  // Shows a QMessageBox (title, text, icon, buttons, default button; Help
  // calls invokeHelp with the context and leaves the box up). The
  // application's boxes are parented to the active window, or to the
  // application window (setApplicationWindow) when none of the program's
  // windows is active. A box owned by a window that stays on top stays on
  // top too, so that it is never hidden under its own owner. Answers 0 when
  // there is no QApplication.
  int show(const MessageBoxRequest& request) override;
  // QApplication::beep(), or nothing without a QApplication.
  void beep(uint32_t type) override;
};

// The window that owns the application's boxes while no window of the
// program is active, as happens to a program driven by another one (the
// grammar browser, whose requests come from the player). nullptr: none.
// Set and cleared on the UI thread by the window itself.
void setApplicationWindow(QWidget* window);
QWidget* applicationWindow();

// Whether the QMessageBox sink can be used: a QApplication exists and the
// platform is one where someone can answer (not "offscreen" or "minimal").
bool qtBoxesUsable();

}  // namespace plat::ui
