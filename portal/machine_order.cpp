#include "portal/machine_order.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <string>

namespace qx {
namespace {

bool Digits(std::string_view s, std::size_t at, std::size_t n, int& value) {
  value = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

// A whole number from decimal digits, nothing when there are none (or too many).
std::optional<unsigned long long> Number(std::string_view s) {
  if (s.empty() || s.size() > 18) return std::nullopt;
  unsigned long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  return v;
}

std::optional<std::array<unsigned long long, 4>> Ipv4(std::string_view host) {
  std::array<unsigned long long, 4> parts{};
  for (int i = 0; i < 4; ++i) {
    const std::size_t dot = i < 3 ? host.find('.') : host.size();
    if (dot == std::string_view::npos) return std::nullopt;
    auto n = Number(host.substr(0, dot));
    if (!n || *n > 255) return std::nullopt;
    parts[static_cast<std::size_t>(i)] = *n;
    host.remove_prefix(i < 3 ? dot + 1 : dot);
  }
  return parts;
}

// Two texts read as values (x from a, y from b): by value when both read,
// the one that reads first, by `collate` when neither does.
template <class T>
int CompareRead(const std::optional<T>& x, const std::optional<T>& y, std::string_view a,
                std::string_view b, const TextCollation& collate) {
  if (x && y) return *x < *y ? -1 : (*y < *x ? 1 : 0);
  if (x || y) return x ? -1 : 1;
  return collate(a, b);
}

int CompareNumbers(std::string_view a, std::string_view b, const TextCollation& collate) {
  return CompareRead(Number(a), Number(b), a, b, collate);  // numbers before other texts
}

int CompareAddresses(std::string_view a, std::string_view b, const TextCollation& collate) {
  // The host is what comes before the first ":", the port what follows the last.
  auto split = [](std::string_view s) {
    const std::size_t first = s.find(':'), last = s.rfind(':');
    if (first == std::string_view::npos) return std::pair(s, std::string_view{});
    return std::pair(s.substr(0, first), s.substr(last + 1));
  };
  const auto [hostA, portA] = split(a);
  const auto [hostB, portB] = split(b);
  const int c = CompareRead(Ipv4(hostA), Ipv4(hostB), hostA, hostB, collate);
  return c ? c : CompareNumbers(portA, portB, collate);
}

int CompareDates(std::string_view a, std::string_view b, const TextCollation& collate) {
  return CompareRead(ParseDateTime(a), ParseDateTime(b), a, b, collate);  // dates first
}

}  // namespace

std::optional<long long> ParseDateTime(std::string_view t) {
  // YYYY-MM-DD HH:MM:SS
  if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
    return std::nullopt;
  int y, mo, d, h, mi, s;
  if (!Digits(t, 0, 4, y) || !Digits(t, 5, 2, mo) || !Digits(t, 8, 2, d) || !Digits(t, 11, 2, h) ||
      !Digits(t, 14, 2, mi) || !Digits(t, 17, 2, s))
    return std::nullopt;
  static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (mo < 1 || mo > 12 || d < 1 || d > kMonthDays[mo - 1] || h > 23 || mi > 59 || s > 59)
    return std::nullopt;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (mo == 2 && d == 29 && !leap) return std::nullopt;
  return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 +
         mi * 60 + s;
}

int CompareCells(int column, std::string_view a, std::string_view b, const TextCollation& collate) {
  switch (column) {
    case ColNumber:
      return CompareNumbers(a, b, collate);
    case ColRemoteAddress:
      return CompareAddresses(a, b, collate);
    case ColOpened:
    case ColExpiry:
      return CompareDates(a, b, collate);
    default:
      return collate(a, b);
  }
}

std::vector<int> SortedOrder(const std::vector<MachineRow>& rows, int column, bool descending,
                             const TextCollation& collate) {
  std::vector<int> order(rows.size());
  std::iota(order.begin(), order.end(), 0);
  if (column < 0 || column >= kMachineColumnCount) return order;
  std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
    const int c = CompareCells(column, rows[static_cast<std::size_t>(x)][column],
                               rows[static_cast<std::size_t>(y)][column], collate);
    return descending ? c > 0 : c < 0;
  });
  return order;
}

Expiry ExpiryOf(std::string_view expiryText, long long now) {
  const auto at = ParseDateTime(expiryText);
  if (!at) return Expiry::None;
  const long long left = *at - now;
  if (left <= 0) return Expiry::Past;
  if (left <= 3 * 86400LL) return Expiry::Within3Days;
  if (left <= 7 * 86400LL) return Expiry::Within7Days;
  return Expiry::None;
}

std::vector<int> ExpiringRows(const std::vector<MachineRow>& rows, long long now) {
  std::vector<int> found;
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (ExpiryOf(rows[i][ColExpiry], now) != Expiry::None) found.push_back(static_cast<int>(i));
  return found;
}

Text ExpiryNoticeText(const std::vector<MachineRow>& rows, const std::vector<int>& expiring) {
  if (expiring.empty()) return {};
  const MachineRow* first = nullptr;
  long long firstAt = 0;
  for (int i : expiring) {
    const MachineRow& row = rows[static_cast<std::size_t>(i)];
    const long long at = ParseDateTime(row[ColExpiry]).value_or(0);
    if (!first || at < firstAt) first = &row, firstAt = at;
  }
  const Text& when = (*first)[ColExpiry];  // YYYY-MM-DD HH:MM:SS
  const int month = (when[5] - '0') * 10 + (when[6] - '0');
  const int day = (when[8] - '0') * 10 + (when[9] - '0');
  return std::to_string(expiring.size()) + " 台机器将在 7 天内到期，最早：" +
         (*first)[ColBusinessId] + " " + std::to_string(month) + "月" + std::to_string(day) + "日";
}

}  // namespace qx
