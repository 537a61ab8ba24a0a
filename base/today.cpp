#include "base/today.h"

namespace qx {
namespace {

bool Digits(std::string_view text, int& value) {
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<Date> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  Date d{};
  if (!Digits(text.substr(0, 4), d.year) || !Digits(text.substr(5, 2), d.month) ||
      !Digits(text.substr(8, 2), d.day))
    return std::nullopt;
  if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 ||
      d.day > DaysInMonth(d.year, d.month))
    return std::nullopt;
  return d;
}

}  // namespace qx
