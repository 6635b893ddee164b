#pragma once
// A bitmap's pixels read back, for code that stores pictures by their
// pixels (the drawing subset of gdi.h makes bitmaps from pixels; this is
// the other direction).

#include "platform/win/gdi.h"

namespace plat::win {

// Copies a bitmap's pixels out in CreateBitmap's form for its depth
// (GetObject's bmBitsPixel and bmWidthBytes): at most `size` bytes, whole
// rows from the top. The bytes copied; 0 for no bitmap. A null `bits`
// answers the size of all its pixels.
LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits);

}  // namespace plat::win
