#pragma once
// The pictures of the program's bitmap buttons, drawn by this program: a
// rounded face per state (up, hover up, down, hover down, disabled) with the
// button's symbol on it. The main window's panels (239 to 358, 30 x 30),
// the Echomark index panel's scroll buttons (318 to 337, 22 x 22) and the
// grammar browser's bar (146 to 158, 30 x 30).

#include "platform/ui/resources/resource_module.h"

namespace tv::buttons {

// Adds every panel picture to `module` (the English module).
void addPanelPictures(plat::ui::ResourceModule& module);

}  // namespace tv::buttons
