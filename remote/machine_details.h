// The seven-line summary of a machine that 复制详细信息 copies and a fault
// ticket carries.
#pragma once

#include <array>
#include <string_view>

#include "base/text.h"

namespace qx {

// The list columns the summary reads, in its order: business identifier,
// remote address, system account and password, broadband account and
// password, expiry time.
inline constexpr std::array<int, 7> kMachineDetailsColumns = {1, 4, 5, 6, 7, 8, 10};

// Each label followed by its column's text, lines joined by CR LF, no line
// break at the end. `columns` holds the texts of kMachineDetailsColumns.
Text MachineDetailsText(const std::array<Text, 7>& columns);

}  // namespace qx
