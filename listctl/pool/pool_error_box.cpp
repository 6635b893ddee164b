// The allocator's default error handler: a beep, then a box that names the
// error. Out of memory offers Abort, Retry and Ignore (Retry the default);
// every other error OK and Cancel. Retry answers "retry"; OK and Ignore let
// the operation fail; Cancel and Abort end the process, as a program that
// cannot go on without the memory must. A box that cannot be shown is tried
// once more system-modal; when that fails too the operation fails.
#include <cstdlib>

#include "listctl/pool/pool.h"
#include "platform/ui/message_box.h"

namespace lindra {

namespace ui = plat::ui;

int PoolMessageBoxHandler(const PoolErrorRecord* error) {
  const int code = error ? error->code : MEM_INTERNAL_ERROR;
  ui::MessageBeep(ui::MB_SIMPLEBEEP);
  ui::MessageBoxRequest box;
  box.caption = "Lindra memory pool";
  box.text = PoolErrorText(code);
  if (code == MEM_OUT_OF_MEMORY) {
    box.icon = ui::Icon::Error;
    box.buttons = ui::Buttons::AbortRetryIgnore;
    box.defaultButton = 1;
    box.modality = ui::Modality::Task;
  } else {
    box.buttons = ui::Buttons::OkCancel;
  }
  int answer = ui::MessageBox(box);
  if (answer == 0) {
    box.modality = ui::Modality::System;
    answer = ui::MessageBox(box);
  }
  switch (answer) {
    case ui::IDRETRY: return 1;
    case ui::IDCANCEL:
    case ui::IDABORT: std::abort();
    default: return 0;
  }
}

}  // namespace lindra
