#include "app/main_commands_win.h"

#include <string>

#include "app/commands.h"
#include "app/machine_commands_win.h"
#include "app/main_window_win.h"
#include "app/menus_win.h"
#include "app/portal_commands_win.h"
#include "app/skins_win.h"
#include "app/top_windows.h"
#include "app/window_util_win.h"
#include "base/config.h"
#include "base/today.h"
#include "portal/version_check.h"

namespace qx {
namespace {

UniqueMenu ListMenu(const MainWindow& w) {
  return BuildPopupMenu(ListMenuEntries(), [&w](int command) {
    return (command == CmdRefresh || command == CmdProbe) && w.loading;
  });
}

void Search(MainWindow& w) { w.view.Search(GetWindowTextGbk(w.searchText)); }

void ShowAbout() {
  MessageBoxGbk("QARVEX挂机宝管理终端\r\n版本：" + std::to_string(kOwnVersion), "信息：");
}

}  // namespace

void RouteMainCommand(MainWindow& w, int id, int code) {
  if (id == CmdFocusSearch) {
    SetFocus(w.searchText);
    SendMessageW(w.searchText, EM_SETSEL, 0, -1);
    return;
  }
  if (id == IDOK) {  // Enter: 搜索 in the search box, connect on a line
    if (GetFocus() == w.searchText) Search(w);
    if (GetFocus() == w.view.list) ConnectSelectedMachine();
    return;
  }
  if (id >= CmdConnect && !MenuCommandReady(id)) return;  // not built yet
  if (RunMachineCommand(id)) return;
  if (RunPortalCommand(id)) return;
  if (RunSkinCommand(id)) return;
  switch (id) {
    case IdMainSearchButton:
      Search(w);
      return;
    case CmdProbe:
      w.ProbeMachines();
      return;
    case CmdSelectNoAnswer:
      w.view.SelectNoAnswer();
      return;
    case IdMainPortalButton:
      ShellOpen(PortalBaseUrl() + "//");
      return;
    case IdMainContactPicture:
      if (code == STN_CLICKED) ShellOpen(ContactUrl());
      return;
    case CmdRefresh:
      w.RefreshMachineList();
      return;
    case CmdSelectExpiring:
      w.view.SelectExpiring(Today());
      return;
    case CmdBuyVps:
      ShellOpen(PortalBaseUrl() + "//business/tarn/gxip.html");
      return;
    case CmdContact:
      ShellOpen(ContactUrl());
      return;
    case CmdAbout:
      ShowAbout();
      return;
    case CmdTrayOpen:
      w.Restore();
      return;
    case CmdTrayWebsite:
      ShellOpen(WebsiteUrl());
      return;
    case CmdTrayExit:
      DestroyWindow(w.hwnd);
      return;
  }
}

void RouteListAction(const NMHDR& hdr) {
  switch (hdr.code) {
    case NM_DBLCLK:
    case NM_RETURN:
      ConnectSelectedMachine();
      return;
    case LVN_KEYDOWN:
      // Ctrl+C copies the focused machine's remote address; Ctrl+A selects all.
      if (GetKeyState(VK_CONTROL) >= 0) return;
      if (reinterpret_cast<const NMLVKEYDOWN&>(hdr).wVKey == 'C')
        RunMachineCommand(CmdCopyRemoteAddress);
      if (reinterpret_cast<const NMLVKEYDOWN&>(hdr).wVKey == 'A')
        ListView_SetItemState(hdr.hwndFrom, -1, LVIS_SELECTED, LVIS_SELECTED);
      return;
  }
}

void OpenListMenu(MainWindow& w, LPARAM at) {
  if (w.view.SelectedIndex() < 0) return;
  POINT where{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
  if (where.x == -1 && where.y == -1 && !w.view.SelectedLinePoint(where)) return;
  PopupMenuAt(w.hwnd, ListMenu(w).get(), where);
}

HACCEL MainWindowAccelerators() {
  static HACCEL table = [] {
    ACCEL keys[] = {{FVIRTKEY, VK_F5, CmdRefresh},
                    {FVIRTKEY | FCONTROL, 'F', CmdFocusSearch},
                    {FVIRTKEY, VK_F6, CmdProbe}};
    return CreateAcceleratorTableW(keys, 3);
  }();
  return table;
}

}  // namespace qx
