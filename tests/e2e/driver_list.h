// More of the driver: reading another process's list view, its popup menus,
// real mouse clicks, and the demo portal's expected machine rows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

using Row = std::vector<std::wstring>;

// The list view's lines (columns 0 .. columns-1), read through memory of
// the list's own process.
std::vector<Row> ReadListView(HWND list, int columns);
int ListItemCount(HWND list);
int ListSelectedIndex(HWND list);  // -1: no line selected
// Selects line `row` (only that one), as a click would.
void SelectListLine(HWND list, int row);
// The centre of a line in screen coordinates.
bool ListLineCentre(HWND list, int row, POINT& screen);

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
