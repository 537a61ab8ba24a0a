// Embedded pictures as bitmaps for picture boxes.
#pragma once

#include <windows.h>

#include "base/handles_win.h"

namespace qx {

// RCDATA 2: the 92 × 22 contact picture (resources/contact.bmp, decoded
// from contact.png by tools/make_images.py).
inline constexpr int kContactPictureId = 2;

// The embedded 32-bit BMP (straight alpha) as a bitmap composed on
// `background`, resampled to the scaled size above 96 DPI; empty when missing.
UniqueBitmap LoadPicture(int resourceId, COLORREF background);

}  // namespace qx
