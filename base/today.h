// Today's date. QARVEX_TODAY=YYYY-MM-DD stands in for the clock's date (the
// tests simulate a day with it); the time of day stays the clock's.
#pragma once

#include <optional>
#include <string_view>

namespace qx {

struct Date {
  int year, month, day;
};

// "YYYY-MM-DD" as a date; nothing for anything else (or a day the month lacks).
std::optional<Date> ParseDate(std::string_view text);

// The local date, or QARVEX_TODAY's when it holds a date (Windows only).
Date Today();

}  // namespace qx
