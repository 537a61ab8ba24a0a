// The main window's size, position and maximised state, remembered in the
// registry for the next start.
#pragma once

#include <windows.h>

namespace qx {

// Stores the window's placement (its normal position when it is maximised
// or minimised).
void SavePlacement(HWND hwnd);

// Shows the window where it was last time: on the same monitor, or centred
// when that monitor is gone; at its design place when nothing is stored.
void ShowAtStoredPlacement(HWND hwnd);

}  // namespace qx
