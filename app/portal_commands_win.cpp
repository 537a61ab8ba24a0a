#include "app/portal_commands_win.h"

#include <windows.h>

#include <array>
#include <optional>

#include "app/commands.h"
#include "app/menus_win.h"
#include "app/top_windows.h"
#include "app/window_util_win.h"
#include "base/config.h"
#include "base/flow_runner_win.h"
#include "portal/control_panel.h"
#include "portal/control_panel_flow_win.h"
#include "portal/machine_list.h"
#include "remote/machine_details.h"

namespace qx {
namespace {

// The details of the machine the last 故障申报 was given; the ticket window
// takes its own copy.
Text g_ticketDetails;

// The selected line's columns that the details text reads.
std::optional<std::array<Text, 7>> SelectedDetailsColumns() {
  std::array<Text, 7> columns;
  for (size_t i = 0; i < columns.size(); ++i) {
    std::optional<Text> cell = SelectedRowColumn(kMachineDetailsColumns[i]);
    if (!cell) return std::nullopt;
    columns[i] = std::move(*cell);
  }
  return columns;
}

void FaultTicket() {
  std::optional<std::array<Text, 7>> columns = SelectedDetailsColumns();
  if (!columns) return;
  g_ticketDetails = MachineDetailsText(*columns);
  OpenTicketWindow(g_ticketDetails);
}

// The page host that stands for the main window's hidden browser control.
PageHost& ControlPanelHost() {
  static FormEngineHost host(MainWindowFlows());
  return host;
}

// One login at a time: a second 自助换机 while one is under way is ignored.
bool g_controlPanelRunning = false;

// The management page is fetched, cut and stored on the portal's worker;
// the local page is then loaded, and 200 ms later the box is shown and,
// once it is closed, the link and the submit button are pressed.
void ControlPanel() {
  std::optional<Text> id = SelectedRowColumn(ColVpsId);
  if (!id || g_controlPanelRunning) return;
  g_controlPanelRunning = true;
  const Text pageUrl = ManagePageUrl(PortalBaseUrl(), *id);
  NoteMainWindowWork(true);
  RunFlow(
      Lane::Portal, MainWindowFlows(), [pageUrl] { PrepareControlPanelPage(pageUrl); },
      [pageUrl] {
        NoteMainWindowWork(false);
        ControlPanelHost().Navigate(kControlPanelPagePath, pageUrl);
        RunLater(MainWindowFlows(), 200, [] {
          MessageBoxGbk(kControlPanelWaitText, kControlPanelWaitTitle, MB_OK | MB_ICONINFORMATION);
          g_controlPanelRunning = false;
          if (!MainWindowHandle()) return;  // ended while the box was up
          // Each press stands alone: a page without the link still has its
          // button pressed, and a page without either shows nothing.
          (void)ControlPanelHost().ClickLink(kControlPanelLink, "_blank");
          (void)ControlPanelHost().ClickButton(kControlPanelButton);
        });
      });
}

}  // namespace

bool RunPortalCommand(int commandId) {
  switch (commandId) {
    case CmdFaultTicket:
      FaultTicket();
      return true;
    case CmdControlPanel:
      ControlPanel();
      return true;
  }
  return false;
}

}  // namespace qx
