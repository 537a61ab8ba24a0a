#include "app/machine_commands_win.h"

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "app/commands.h"
#include "app/menus_win.h"
#include "app/top_windows.h"
#include "app/window_util_win.h"
#include "base/config.h"
#include "base/flow_runner_win.h"
#include "portal/machine_list.h"
#include "portal/machine_ops_flow_win.h"
#include "remote/clipboard_win.h"
#include "remote/machine_details.h"
#include "remote/rdp_win.h"
#include "remote/ssh_launch_win.h"

namespace qx {
namespace {

constexpr unsigned kSyncWaitMs = 800;  // the portal needs a moment before the list shows the sync

// Commands under way, by command and machine id.
std::set<std::pair<int, Text>> g_running;

// Marks the command as running for the machine; false when it already runs.
bool Begin(int command, const Text& machine) { return g_running.emplace(command, machine).second; }
void End(int command, const Text& machine) { g_running.erase({command, machine}); }

UINT BoxFlags(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Information:
      return MB_OK | MB_ICONINFORMATION;
    case BoxIcon::Exclamation:
      return MB_OK | MB_ICONEXCLAMATION;
    case BoxIcon::None:
      break;
  }
  return MB_OK;
}

void ShowVerdict(MachineOp op, bool succeeded) {
  const VerdictBox box = MachineOpVerdictBox(op, succeeded);
  MessageBoxGbk(box.text, box.title, BoxFlags(box.icon));
}

// Several machines at once: one question, then one request per machine in
// list order on the portal lane, the progress in the count label, one box at
// the end naming the machines that failed. A machine whose same command is
// already under way is left out.
struct Batch {
  MachineOp op;
  size_t count = 0, done = 0;
  std::vector<OpFailure> failed;
};

void RunBatchPowerOp(int command, MachineOp op, const std::vector<MachineRow>& machines) {
  if (MessageBoxGbk(BatchConfirmText(op, machines.size()), "系统提示：",
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  auto batch = std::make_shared<Batch>();
  batch->op = op;
  std::vector<const MachineRow*> sent;
  for (const MachineRow& m : machines)
    if (Begin(command, m[ColVpsId])) sent.push_back(&m);
  if (sent.empty()) return;
  batch->count = sent.size();
  ShowMainWindowProgress(BatchProgressText(op, 0, batch->count));
  for (const MachineRow* m : sent) {
    NoteMainWindowWork(true);
    RunFlow(
        Lane::Portal, MainWindowFlows(),
        [base = PortalBaseUrl(), op, id = (*m)[ColVpsId]] { return PostMachineOp(base, op, id); },
        [command, batch, id = (*m)[ColVpsId], name = (*m)[ColBusinessId]](const Text& reply) {
          NoteMainWindowWork(false);
          End(command, id);
          if (!MachineOpSucceeded(batch->op, reply))
            batch->failed.push_back({name, MachineOpReplyText(reply)});
          if (++batch->done < batch->count)
            return ShowMainWindowProgress(BatchProgressText(batch->op, batch->done, batch->count));
          ShowMainWindowProgress("");
          MessageBoxGbk(
              BatchSummaryText(batch->op, batch->count, batch->failed), "系统提示：",
              batch->failed.empty() ? MB_OK | MB_ICONINFORMATION : MB_OK | MB_ICONEXCLAMATION);
        });
  }
}

// 开机, 关机, 重启: the request on the portal lane, the verdict on the window
// thread; several lines selected make a batch.
void RunPowerOp(int command, MachineOp op) {
  const std::vector<MachineRow> machines = SelectedMachineRows();
  if (machines.size() > 1) return RunBatchPowerOp(command, op, machines);
  const std::optional<Text> vpsid = SelectedRowColumn(ColVpsId);
  if (!vpsid || !Begin(command, *vpsid)) return;
  NoteMainWindowWork(true);
  RunFlow(
      Lane::Portal, MainWindowFlows(),
      [base = PortalBaseUrl(), op, id = *vpsid] {
        return MachineOpSucceeded(op, PostMachineOp(base, op, id));
      },
      [command, op, id = *vpsid](bool succeeded) {
        NoteMainWindowWork(false);
        ShowVerdict(op, succeeded);
        End(command, id);
      });
}

// 同步: the post, a short wait, the verdict, then the list loaded again
// whatever the verdict.
void RunSync() {
  const std::optional<Text> vpsid = SelectedRowColumn(ColVpsId);
  if (!vpsid || !Begin(CmdSync, *vpsid)) return;
  NoteMainWindowWork(true);
  RunFlow(
      Lane::Portal, MainWindowFlows(),
      [base = PortalBaseUrl(), id = *vpsid] {
        return MachineOpSucceeded(MachineOp::Sync, PostMachineOp(base, MachineOp::Sync, id));
      },
      [id = *vpsid](bool succeeded) {
        NoteMainWindowWork(false);
        RunLater(MainWindowFlows(), kSyncWaitMs, [id, succeeded] {
          ShowVerdict(MachineOp::Sync, succeeded);
          End(CmdSync, id);
          RefreshMainList();
        });
      });
}

// The commands that copy one column of the selected line; a secret (a
// password) is kept out of clipboard history and cloud sync.
struct ColumnCopy {
  int command;
  int column;
  bool secret;
};
constexpr ColumnCopy kColumnCopies[] = {
    {CmdCopyBusinessId, ColBusinessId, false},
    {CmdCopyRemoteAddress, ColRemoteAddress, false},
    {CmdCopySystemAccount, ColSystemAccount, false},
    {CmdCopySystemPassword, ColSystemPassword, true},
    {CmdCopyBroadbandAccount, ColBroadbandAccount, false},
    {CmdCopyBroadbandPassword, ColBroadbandPassword, true},
};

// A clipboard that another program holds is tried for about 100 ms; a copy
// that did not happen says so, or the user would paste the older text.
void Copy(std::string_view text, bool secret) {
  if (!CopyTextToClipboard(MainWindowHandle(), text, secret))
    MessageBoxGbk("复制失败：剪贴板正被其他程序使用，请稍后再试", "系统提示：", MB_ICONWARNING);
}

// Runs the command when it is one of the column copies (true).
bool RunColumnCopy(int command) {
  for (const ColumnCopy& c : kColumnCopies) {
    if (c.command != command) continue;
    if (const std::optional<Text> text = SelectedRowColumn(c.column)) Copy(*text, c.secret);
    return true;
  }
  return false;
}

// The details of every selected machine, separated by a blank line.
void CopyDetails() {
  Text all;
  for (const MachineRow& m : SelectedMachineRows()) {
    std::array<Text, kMachineDetailsColumns.size()> columns;
    for (size_t i = 0; i < columns.size(); ++i) columns[i] = m[kMachineDetailsColumns[i]];
    if (!all.empty()) all += "\r\n\r\n";
    all += MachineDetailsText(columns);
  }
  if (!all.empty()) Copy(all, true);
}

std::optional<RdpMachine> SelectedRdpMachine() {
  RdpMachine m;
  std::pair<int, Text*> wanted[] = {{ColBusinessId, &m.businessId},
                                    {ColRemoteAddress, &m.address},
                                    {ColSystemAccount, &m.account},
                                    {ColSystemPassword, &m.password}};
  for (auto& [column, field] : wanted) {
    std::optional<Text> text = SelectedRowColumn(column);
    if (!text) return std::nullopt;
    *field = std::move(*text);
  }
  return m;
}

void SaveShortcutForSelected() {
  const std::optional<RdpMachine> m = SelectedRdpMachine();
  if (!m) return;
  if (!SaveRdpShortcut(*m)) return ShowActionFailed();
  MessageBoxGbk("恭喜您，生成远程rdp快捷方式成功，文件已生成到软件所在目录，双击打开即可进行远程！",
                "系统提示：");
}

// Linux远程: the selected line's address and system password to PuTTY.
void RunLinuxRemote() {
  const std::optional<Text> address = SelectedRowColumn(ColRemoteAddress);
  if (!address) return;  // no line selected
  const Text password = SelectedRowColumn(ColSystemPassword).value_or(Text());
  switch (LaunchSsh(*address, password)) {
    case SshLaunchResult::InvalidAddress:
      MessageBoxGbk("远程地址无效", "系统提示：");
      break;
    case SshLaunchResult::NotStarted:
      MessageBoxGbk("PuTTY启动失败，请重试", "系统提示：", MB_ICONWARNING);
      break;
    case SshLaunchResult::Started:
      break;
  }
}

}  // namespace

void ConnectSelectedMachine() {
  const std::optional<RdpMachine> m = SelectedRdpMachine();
  unsigned long error = 0;
  if (m && ConnectRdp(*m, &error) == RdpConnectResult::NotWritten)
    MessageBoxGbk("远程连接文件无法写入，未打开远程桌面：" + SystemErrorText(error), "系统提示：",
                  MB_ICONWARNING);
}

bool RunMachineCommand(int commandId) {
  if (RunColumnCopy(commandId)) return true;
  switch (commandId) {
    case CmdConnect:
      ConnectSelectedMachine();
      return true;
    case CmdLinuxRemote:
      RunLinuxRemote();
      return true;
    case CmdSync:
      RunSync();
      return true;
    case CmdStart:
      RunPowerOp(commandId, MachineOp::Start);
      return true;
    case CmdStop:
      RunPowerOp(commandId, MachineOp::Stop);
      return true;
    case CmdRestart:
      RunPowerOp(commandId, MachineOp::Restart);
      return true;
    case CmdCopyDetails:
      CopyDetails();
      return true;
    case CmdRdpShortcut:
      SaveShortcutForSelected();
      return true;
    case CmdResolution:
      OpenResolutionWindow();
      return true;
  }
  return false;
}

}  // namespace qx
