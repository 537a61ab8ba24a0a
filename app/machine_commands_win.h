// The commands of the machine list's context menu that act on the selected
// machine: 连接, Linux远程, 同步, the copies, 开机/关机/重启, 生成快捷远程, and 远程分辨率.
#pragma once

namespace qx {

// Runs the command when it is one of these (true), else false. With no line
// selected a command does nothing. While a command runs for a machine, the
// same command for the same machine is ignored.
bool RunMachineCommand(int commandId);

// A double-click on a line: Remote Desktop to the selected machine.
void ConnectSelectedMachine();

}  // namespace qx
