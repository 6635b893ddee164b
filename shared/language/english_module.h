#pragma once
// The program's own resources in English: every string the program shows,
// the two main-window menus and their accelerator table, the four resource
// lists that describe books, and the small list pictures. Other interface
// languages answer the same ids from their module files and fall back on
// this module for anything they lack.

#include "platform/ui/resources/resource_module.h"

namespace tv::language {

// Menu shown while no book window is open, and while one is.
inline constexpr int kMenuNoBook = 128;
inline constexpr int kMenuBook = 130;
// The main window's accelerator table.
inline constexpr int kAcceleratorTable = 128;

// Resource lists, numbered as the language object's list operations number
// them.
inline constexpr int kListCategories = 1;
inline constexpr int kListDifficulties = 2;
inline constexpr int kListLanguages = 3;
inline constexpr int kListSourceKinds = 4;

// Built once, on first use; never changes afterwards.
const plat::ui::ResourceModule& englishModule();

}  // namespace tv::language
