#pragma once
// The pictures of the program's bitmap buttons, drawn by this program: a
// rounded face per state (up, hover up, down, hover down, disabled) with the
// button's symbol on it. The main window's panels (239 to 358, 30 x 30),
// the Echomark index panel's scroll buttons (318 to 337, 22 x 22), the
// grammar browser's bar (146 to 158, 30 x 30) and the catalogue's Open and
// Remove buttons (365 to 383, 20 x 20), the preferences dialog's OK (384
// to 388) and Apply (394 to 398, both 30 x 30); also the catalogue's filter
// ticks (391 ticked, 392 not, 13 x 13).

#include "platform/ui/resources/resource_module.h"

namespace tv::buttons {

// Adds every panel picture to `module` (the English module).
void addPanelPictures(plat::ui::ResourceModule& module);

}  // namespace tv::buttons
