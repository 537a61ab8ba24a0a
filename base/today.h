// Today's date: the clock's, or the one QARVEX_TODAY (YYYY-MM-DD) names, so
// that the tests can be given any day they need.
#pragma once

#include <optional>
#include <string_view>

namespace qx {

struct Date {
  int year, month, day;
};

// A date written YYYY-MM-DD (nothing around it), or nothing when the text is
// not one or names no real day.
std::optional<Date> ParseDate(std::string_view text);

// Today in local time; QARVEX_TODAY replaces it when it holds a date.
Date Today();

}  // namespace qx
