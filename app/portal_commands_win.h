// The machine list's portal commands that open more than a message box:
// 故障申报 (the ticket window) and 自助换机 (the control panel, logged in).
#pragma once

namespace qx {

// Runs the command when it is one of these two; false for any other id.
bool RunPortalCommand(int commandId);

}  // namespace qx
