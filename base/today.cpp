#include "base/today.h"

namespace qx {

std::optional<Date> ParseDate(std::string_view t) {
  if (t.size() != 10 || t[4] != '-' || t[7] != '-') return std::nullopt;
  int v[3] = {0, 0, 0};
  const std::size_t at[3] = {0, 5, 8}, len[3] = {4, 2, 2};
  for (int k = 0; k < 3; ++k)
    for (std::size_t i = at[k]; i < at[k] + len[k]; ++i) {
      if (t[i] < '0' || t[i] > '9') return std::nullopt;
      v[k] = v[k] * 10 + (t[i] - '0');
    }
  static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > kMonthDays[v[1] - 1]) return std::nullopt;
  const bool leap = (v[0] % 4 == 0 && v[0] % 100 != 0) || v[0] % 400 == 0;
  if (v[1] == 2 && v[2] == 29 && !leap) return std::nullopt;
  return Date{v[0], v[1], v[2]};
}

}  // namespace qx
