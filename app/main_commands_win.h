// The main window's command routing: the commands of its controls, its two
// menus and its keys (WM_COMMAND), and the list's actions (WM_NOTIFY), sent
// on to the machine, portal and skin commands or to the window itself.
#pragma once

#include <windows.h>

namespace qx {

struct MainWindow;

void RouteMainCommand(MainWindow& w, int id, int code);

// A double-click or Enter on a line connects, Ctrl+C copies the remote
// address.
void RouteListAction(const NMHDR& hdr);

// The list's WM_CONTEXTMENU: a right click (sent on the release, also when
// the press moved a few pixels and the list took it for the start of a
// drag, for which it sends no NM_RCLICK), or Shift+F10 and the context-menu
// key (the point -1, -1). Only a selected line has a menu: at the click, or
// at the line for the keys.
void OpenListMenu(MainWindow& w, LPARAM at);

}  // namespace qx
