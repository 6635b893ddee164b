#pragma once
// The pictures of the program's window frames and backgrounds, drawn by
// this program: the skinned dialog frame's outer texture (206), inner
// texture (204) and close button (205, hover 290); the 8 x 8 background
// pattern of the book windows in its four vertical shifts (200 by 0 rows,
// 202 by 1, 199 by 2, 203 by 3); and the splash picture (136).

#include "platform/ui/resources/resource_module.h"

namespace tv::skin {

// The pattern's four rows repeat every four pixel rows: the picture for a
// shift of `rows` (0 to 3) starts with row `rows` of the pattern.
int patternPictureForShift(int rows);

void addFramePictures(plat::ui::ResourceModule& module);

}  // namespace tv::skin
