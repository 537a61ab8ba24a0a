// The program's top-level windows, as the rest of the shell sees them.
#pragma once

#include <windows.h>

#include <string_view>

namespace qx {

class FlowOwner;

void RegisterLoginWindow();
HWND OpenLoginWindow();
// Destroys the login window and its tray icon (when it still exists).
void CloseLoginWindow();

void RegisterMainWindow();
// Opens the main window; its creation closes the login window.
HWND OpenMainWindow();
HWND MainWindowHandle();
// The main window's keys (F5, Ctrl+F), for the message loop.
HACCEL MainWindowAccelerators();
// The main window's flow owner: flows started for the selected machine's
// commands end with the main window.
const FlowOwner& MainWindowFlows();
// A command's portal work queued (true) or its result applied (false).
// While work waits behind other work, or has run for a second, the main
// window shows it: "正在处理…" where the count is, the busy cursor over the list.
void NoteMainWindowWork(bool queued);
// A batch's progress in the count label, before all else; empty: the count again.
void ShowMainWindowProgress(std::string_view text);
// The reload of 刷新 (ignored while a load runs), also used after a sync.
void RefreshMainList();

// Opens ResolutionWindow, or brings the open one to the front (at most one).
void OpenResolutionWindow();

// Deletes the files that must not outlive the program (connection files,
// SSH password files, the control panel's result page) unless another
// running instance still needs them: at start, on every way out and when
// Windows ends the session. PuTTYs started last get up to `waitMs` to read
// their password files first.
void SweepLeftoverSecrets(unsigned long waitMs);

// The login window while it exists.
HWND LoginWindowHandle();

// The ticket window for a machine's details text: opened when there is none,
// otherwise brought to the front and read again for these details.
HWND OpenTicketWindow(std::string_view details);

}  // namespace qx
