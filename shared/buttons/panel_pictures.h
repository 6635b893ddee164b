#pragma once
// The pictures of the main window's button panels (bitmap resources 239 to
// 358), drawn by this program: a rounded 30 x 30 face per state (up, hover
// up, down, hover down, disabled) with the button's symbol on it.

#include "platform/ui/resources/resource_module.h"

namespace tv::buttons {

// Adds every panel picture to `module` (the English module).
void addPanelPictures(plat::ui::ResourceModule& module);

}  // namespace tv::buttons
