// The program's top-level windows, as the rest of the shell sees them.
#pragma once

#include <windows.h>

namespace qx {

void RegisterLoginWindow();
HWND OpenLoginWindow();
// Destroys the login window and its tray icon (when it still exists).
void CloseLoginWindow();

void RegisterMainWindow();
// Opens the main window; its creation closes the login window.
HWND OpenMainWindow();
HWND MainWindowHandle();

// The login window while it exists.
HWND LoginWindowHandle();

}  // namespace qx
