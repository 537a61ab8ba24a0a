#include "app/expiry_balloon_win.h"

#include <cstdio>
#include <set>

#include "base/handles_win.h"
#include "base/timing.h"
#include "base/today.h"
#include "base/wide_win.h"
#include "portal/machine_order.h"

namespace qx {
namespace {

constexpr wchar_t kKey[] = L"Software\\QARVEX";
constexpr wchar_t kValue[] = L"ExpiryBalloonDay";

std::wstring DayText(Date d) {
  wchar_t s[16];
  std::swprintf(s, 16, L"%04d-%02d-%02d", d.year, d.month, d.day);
  return s;
}

std::wstring LastBalloonDay() {
  wchar_t s[32] = {};
  DWORD size = sizeof s - sizeof s[0];
  if (RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_SZ, nullptr, s, &size) !=
      ERROR_SUCCESS)
    return {};
  return s;
}

void KeepBalloonDay(const std::wstring& day) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                      nullptr) != ERROR_SUCCESS)
    return;
  UniqueRegKey key(raw);
  RegSetValueExW(key.get(), kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(day.c_str()),
                 static_cast<DWORD>((day.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

long long ExpiryClockNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  const Date d = Today();
  char now[32];
  std::snprintf(now, sizeof now, "%04d-%02d-%02d %02u:%02u:%02u", d.year, d.month, d.day, t.wHour,
                t.wMinute, t.wSecond);
  return ParseDateTime(now).value_or(0);
}

void ExpiryBalloon::Offer(const MachineListView& view, TrayIcon& tray) {
  const std::wstring today = DayText(Today());
  if (LastBalloonDay() == today) return;
  const std::vector<int> soon = ExpiringRows(view.rows, ExpiryClockNow());
  if (soon.empty()) return;
  businessIds_.clear();
  for (int r : soon) businessIds_.push_back(view.rows[static_cast<size_t>(r)][ColBusinessId]);
  const Text text = ExpiryNoticeText(view.rows, soon);
  tray.ShowBalloon(Wide(text));
  KeepBalloonDay(today);
  TimingLine line("balloon");
  line.Add("machines", static_cast<long long>(soon.size()));
  line.Report();
}

void ExpiryBalloon::ShowMachines(MachineListView& view) const {
  const std::set<Text> ids(businessIds_.begin(), businessIds_.end());
  std::vector<int> wanted;
  for (int r = 0; r < view.RowCount(); ++r)
    if (ids.count(view.rows[static_cast<size_t>(r)][ColBusinessId])) wanted.push_back(r);
  view.SortAndSelect(ColExpiry, wanted);
}

}  // namespace qx
