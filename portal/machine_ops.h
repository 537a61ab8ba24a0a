// Acting on a machine through the portal: start, stop, restart and sync.
// Page rules only (paths, bodies, verdicts, the messages shown); the requests
// are in machine_ops_flow_win.cpp.
#pragma once

#include <string_view>
#include <vector>

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

// Several machines at once (start, stop, restart): the one question before,
// the progress in the count label, the one box after. A failure names the
// machine by its 业务标识 with the portal's own text (its reply's "text").
struct OpFailure {
  Text machine;
  Text portalText;
};
Text MachineOpReplyText(std::string_view reply);
Text BatchConfirmText(MachineOp op, size_t count);
Text BatchProgressText(MachineOp op, size_t done, size_t count);
Text BatchSummaryText(MachineOp op, size_t count, const std::vector<OpFailure>& failed);

}  // namespace qx
