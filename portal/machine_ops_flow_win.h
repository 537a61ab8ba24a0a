// The machine operation requests. Run on the portal lane of the flow runner,
// never on the window thread.
#pragma once

#include <string_view>

#include "portal/machine_ops.h"

namespace qx {

// Posts the operation for the machine and returns the portal's reply in GBK
// (empty when the portal cannot be reached). The session travels in
// WinINet's cookie store.
[[nodiscard]] Text PostMachineOp(std::string_view portalBaseUrl, MachineOp op,
                                 std::string_view vpsid);

}  // namespace qx
