#pragma once
// The Qt side of the drawing subset, for the backend and pixel tests.

#include <QImage>

#include "platform/win/win_types.h"

namespace plat::win {

// The window's own backing image (window size, non-client area included);
// a null image for a stale handle.
QImage windowImage(HWND hwnd);
// The window with its visible children drawn over it, as shown on screen.
QImage composeWindowImage(HWND hwnd);

}  // namespace plat::win
