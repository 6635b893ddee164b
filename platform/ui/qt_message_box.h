#pragma once
// The programs' message sink: a modal QMessageBox per box and
// QApplication::beep for every system sound. Needs a QApplication; used
// only on the UI thread. The header is free of Qt so that code choosing the
// sink need not see Qt.

#include "platform/ui/message_box.h"

namespace plat::ui {

class QtMessageSink : public MessageSink {
 public:
  // Shows a QMessageBox (title, text, icon, buttons, default button; Help
  // calls invokeHelp with the context and leaves the box up). The
  // application's boxes are parented to the active window. Answers 0 when
  // there is no QApplication.
  int show(const MessageBoxRequest& request) override;
  // QApplication::beep(), or nothing without a QApplication.
  void beep(uint32_t type) override;
};

// Whether the QMessageBox sink can be used: a QApplication exists and the
// platform is one where someone can answer (not "offscreen" or "minimal").
bool qtBoxesUsable();

}  // namespace plat::ui
