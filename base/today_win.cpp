#include <windows.h>

#include <string>

#include "base/os_win.h"
#include "base/today.h"

namespace qx {

Date Today() {
  const std::wstring forced = EnvironmentValue(L"QARVEX_TODAY");
  std::string ascii;
  for (wchar_t c : forced) ascii += c < 0x80 ? static_cast<char>(c) : '?';
  if (const std::optional<Date> d = ParseDate(ascii)) return *d;
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay};
}

}  // namespace qx
