// Embedded PNG pictures as bitmaps for picture boxes.
#pragma once

#include <windows.h>

#include "base/handles_win.h"

namespace qx {

// RCDATA 2: the 92 × 22 contact picture.
inline constexpr int kContactPictureId = 2;

// The embedded PNG as a bitmap composed on `background`, resampled to the
// scaled size above 96 DPI; empty when missing.
UniqueBitmap LoadPngPicture(int resourceId, COLORREF background);

}  // namespace qx
