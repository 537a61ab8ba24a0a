#include <windows.h>

#include "base/codepage.h"
#include "base/os_win.h"
#include "base/today.h"

namespace qx {

Date Today() {
  const std::wstring forced = EnvironmentValue(L"QARVEX_TODAY");
  if (!forced.empty()) {
    std::string ascii(forced.begin(), forced.end());
    if (auto d = ParseDate(ascii)) return *d;
  }
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay};
}

}  // namespace qx
