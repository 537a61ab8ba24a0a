// Acting on a machine through the portal: start, stop, restart and sync.
// Page rules only (paths, bodies, verdicts, the messages shown); the requests
// are in machine_ops_flow_win.cpp.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

enum class MachineOp { Start, Stop, Restart, Sync };

// The portal path of the operation, with its two leading slashes.
const char* MachineOpPath(MachineOp op);
// The form body: "id=" and the machine id as it stands in the list, not encoded.
Text MachineOpBody(std::string_view vpsid);

// The verdict of a reply (already in GBK). Start, stop and restart succeed
// only when the text between the portal's success markers is exactly the
// operation's success text; sync succeeds when "同步成功" stands anywhere.
[[nodiscard]] bool MachineOpSucceeded(MachineOp op, std::string_view reply);

// What the user is told.
enum class BoxIcon { None, Information, Exclamation };
struct VerdictBox {
  const char* text;
  const char* title;
  BoxIcon icon;
};
VerdictBox MachineOpVerdictBox(MachineOp op, bool succeeded);

}  // namespace qx
