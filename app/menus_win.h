// The main window's two popup menus, built from tables: 菜单 (the list's
// context menu) and 托盘菜单 (the tray icon's menu).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "base/handles_win.h"
#include "base/text.h"
#include "portal/machine_list.h"

namespace qx {

struct MenuEntry {
  int level;            // 0: top level; 1: inside the submenu entry above it
  const char* caption;  // GBK
  int command;          // a Command id; 0 for a submenu
  bool ready;           // false: the command is not built yet, the item is greyed
};

std::span<const MenuEntry> ListMenuEntries();
std::span<const MenuEntry> TrayMenuEntries();

// True when the command is an item of either menu that is built; commands
// that are not built do nothing even when they arrive as WM_COMMAND.
bool MenuCommandReady(int command);

// A popup menu from a table; `disabled` greys ready items for the moment
// (e.g. 刷新 while a reload runs).
UniqueMenu BuildPopupMenu(std::span<const MenuEntry> entries,
                          const std::function<bool(int)>& disabled = {});

// The text of column n of the selected line of the machine list, or nothing
// when no line is selected (or there is no main window). The selected-machine
// commands read their machine this way.
std::optional<Text> SelectedRowColumn(int n);
// Every selected machine, in list order.
std::vector<MachineRow> SelectedMachineRows();

}  // namespace qx
