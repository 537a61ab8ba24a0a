// More of the driver: the program logged in as demo, reading another
// process's list view, its popup menus, real mouse clicks, and the demo
// portal's expected machine rows.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace e2e {

// The main window has finished its creation sequence or a reload: the
// loading text is gone and the count is shown.
bool Loaded(HWND main);

// A test of the main window: the program started and logged in as demo.
class LoggedInTest : public PortalTest {
 protected:
  // Starts qarvex.exe (with `env`), waits for its login window, sets
  // `atLogin` at the portal (for the main window only) and runs `onLogin`,
  // logs in as demo and waits for the main window's filled list. Null when
  // a step failed; `program` tells the windows.
  HWND OpenMain(const std::string& atLogin = {}, const std::vector<std::wstring>& env = {},
                const std::function<void(HWND)>& onLogin = {});
  // Waits for the end of the running load.
  bool WaitLoaded(DWORD timeoutMs = 120000) const;
  // How many requests for paths starting with `pathPrefix` the portal received.
  size_t Requests(const std::string& pathPrefix) const;

  std::unique_ptr<Program> program;
  HWND main = nullptr, list = nullptr;
};

using Row = std::vector<std::wstring>;

// The list view's lines (columns 0 .. columns-1), read through memory of
// the list's own process.
std::vector<Row> ReadListView(HWND list, int columns);
int ListItemCount(HWND list);
int ListSelectedIndex(HWND list);  // -1: no line selected
// Selects line `row` (only that one), as a click would.
// Selects these lines alone, the last one focused (what Ctrl+clicks on them
// give).
void SelectListLines(HWND list, const std::vector<int>& lines);
void SelectListLine(HWND list, int row);
// The centre of a line in screen coordinates.
bool ListLineCentre(HWND list, int row, POINT& screen);

// The text of the visible tray balloon (a balloon tooltip of any process,
// the shell's), empty when none shows.
std::wstring BalloonText();

// A visible popup menu (class #32768) of the process, or null.
HWND FindPopupMenu(DWORD pid);
// Real clicks at a screen point (SendInput).
void RightClickAt(POINT screen);
void LeftClickAt(POINT screen);
void DoubleClickAt(POINT screen);
void PressKey(WORD vk);

// Lines of JSON arrays of strings (the demo's /__admin/machines), as wide text.
std::vector<Row> ParseJsonRows(const std::string& lines);

}  // namespace e2e
