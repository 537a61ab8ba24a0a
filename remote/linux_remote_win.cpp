// The "Linux远程" command: reads the selected machine and launches PuTTY.
#include "app/menus_win.h"
#include "app/win_util.h"
#include "portal/machine_list.h"
#include "remote/ssh_launch_win.h"

namespace qx {

void RunLinuxRemote() {
  const std::optional<Text> address = SelectedRowColumn(ColRemoteAddress);
  if (!address) return;  // no line selected
  const Text password = SelectedRowColumn(ColSystemPassword).value_or(Text());
  if (LaunchSsh(*address, password) == SshLaunchResult::InvalidAddress)
    MessageBoxGbk("远程地址无效", "系统提示：");
}

}  // namespace qx
