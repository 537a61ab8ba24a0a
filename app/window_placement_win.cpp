#include "app/window_placement_win.h"

#include <utility>

#include "base/handles_win.h"

namespace qx {
namespace {

constexpr wchar_t kPlacementKey[] = L"Software\\QARVEX\\Terminal";

}  // namespace

void SavePlacement(HWND hwnd) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!GetWindowPlacement(hwnd, &wp)) return;
  HKEY created = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kPlacementKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &created, nullptr) != ERROR_SUCCESS)
    return;
  const UniqueRegKey key(created);
  const RECT& r = wp.rcNormalPosition;
  const std::pair<const wchar_t*, DWORD> values[] = {
      {L"Left", static_cast<DWORD>(r.left)},
      {L"Top", static_cast<DWORD>(r.top)},
      {L"Width", static_cast<DWORD>(r.right - r.left)},
      {L"Height", static_cast<DWORD>(r.bottom - r.top)},
      {L"Maximized",
       wp.showCmd == SW_SHOWMAXIMIZED || (wp.flags & WPF_RESTORETOMAXIMIZED) ? 1u : 0u}};
  for (const auto& [name, value] : values)
    RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
}

void ShowAtStoredPlacement(HWND hwnd) {
  DWORD v[5] = {};
  const wchar_t* names[] = {L"Left", L"Top", L"Width", L"Height", L"Maximized"};
  bool stored = true;
  for (int i = 0; i < 5 && stored; ++i) {
    DWORD size = sizeof v[i];
    stored = RegGetValueW(HKEY_CURRENT_USER, kPlacementKey, names[i], RRF_RT_REG_DWORD, nullptr,
                          &v[i], &size) == ERROR_SUCCESS;
  }
  if (!stored) {
    ShowWindow(hwnd, SW_SHOW);
    return;
  }
  RECT r{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[0] + v[2]),
         static_cast<LONG>(v[1] + v[3])};
  if (!MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    r.left = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    r.top = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    r.right = r.left + w;
    r.bottom = r.top + h;
  }
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  wp.showCmd = v[4] ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  wp.rcNormalPosition = r;
  SetWindowPlacement(hwnd, &wp);
}

}  // namespace qx
