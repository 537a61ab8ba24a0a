// The main window's command routing: the commands of its controls, its two
// menus and its keys (WM_COMMAND), and the list's actions (WM_NOTIFY), sent
// on to the machine, portal and skin commands or to the window itself.
#pragma once

#include <windows.h>

namespace qx {

struct MainWindow;

void RouteMainCommand(MainWindow& w, int id, int code);

// A double-click or Enter on a line connects, Ctrl+C copies the remote
// address, a right click on a selected line opens the list's menu.
void RouteListAction(MainWindow& w, const NMHDR& hdr);

// Shift+F10 or the context-menu key: the list's menu at the selected line.
void OpenListMenuAtLine(MainWindow& w);

}  // namespace qx
