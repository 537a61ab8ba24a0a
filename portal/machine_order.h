// The machine list's order and expiry marks: a click on a column title sorts
// by that column, and lines close to their expiry time stand out. Portable
// rules only; the list itself lives in the main window.
#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "portal/machine_list.h"

namespace qx {

// Compares two texts as the user's language sorts them (<0, 0, >0); the
// window passes the platform's Chinese collation, tests a byte order.
using TextCollation = std::function<int(std::string_view, std::string_view)>;

// "YYYY-MM-DD HH:MM:SS" as seconds since 1970-01-01 00:00:00 (no time zone:
// the portal's local time); nothing for a text that is not such a date.
std::optional<long long> ParseDateTime(std::string_view text);

// Compares a column's texts: 序号 as numbers, 远程IP by host (IPv4 addresses
// by their numbers) then port, 开通时间 / 到期时间 as dates (texts that are
// not dates after all dates), every other column by `collate`.
int CompareCells(int column, std::string_view a, std::string_view b, const TextCollation& collate);

// The lines' order for a sort by `column`: indices into `rows`, a stable sort,
// so equal lines keep their page order. Column 0 ascending is page order.
std::vector<int> SortedOrder(const std::vector<MachineRow>& rows, int column, bool descending,
                             const TextCollation& collate);

// How close a line is to its expiry time at `now` (seconds, as ParseDateTime).
enum class Expiry { None, Past, Within3Days, Within7Days };
Expiry ExpiryOf(std::string_view expiryText, long long now);

// The rows (indices, in page order) that have expired or expire within 7
// days at `now`.
std::vector<int> ExpiringRows(const std::vector<MachineRow>& rows, long long now);
// The tray's word on them: "3 台机器将在 7 天内到期，最早：QX000001 12月12日"
// (the earliest by expiry time); empty for none.
Text ExpiryNoticeText(const std::vector<MachineRow>& rows, const std::vector<int>& expiring);

}  // namespace qx
