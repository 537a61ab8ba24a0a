// The member summary and list page requests (GET through FetchPage, the
// session from WinINet's cookie store). They block: run them on a worker
// (base/flow_runner_win.h), never on the window thread.
#pragma once

#include <string_view>
#include <vector>

#include "portal/machine_list.h"

namespace qx {

[[nodiscard]] MemberSummary LoadMemberSummary(std::string_view portalBaseUrl);

// What a load of the three list pages gives the window.
struct MachineListLoad {
  Text countText;                // the summed page figures
  std::vector<int> failedPages;  // the pages that gave no list (1 to 3)
  std::vector<MachineRow> rows;  // every machine block, numbered in page order
};
// Fetches the three list pages one after the other, in order, and cuts the rows.
[[nodiscard]] MachineListLoad LoadMachineList(std::string_view portalBaseUrl);

}  // namespace qx
