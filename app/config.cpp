#include "app/config.h"

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>

#include "web/wide_win.h"
#endif

namespace qx {
namespace {

Text FromEnvironment(const char* name, const char* fallback) {
#ifdef _WIN32
  std::wstring wname(name, name + std::char_traits<char>::length(name));
  DWORD n = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (n > 1) {
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(wname.c_str(), value.data(), n);
    value.resize(n);
    return Narrow(value);
  }
#else
  if (const char* v = std::getenv(name); v && *v) return v;
#endif
  return fallback;
}

}  // namespace

Text PortalBaseUrl() { return FromEnvironment("QARVEX_PORTAL_URL", "https://my.qarvex.example"); }
Text WebsiteUrl() { return FromEnvironment("QARVEX_WEBSITE_URL", "https://www.qarvex.example"); }
Text NoticePageUrl() {
  return FromEnvironment("QARVEX_NOTICE_URL", "https://notice.qarvex.example/terminal.html");
}
Text ContactUrl() {
  return FromEnvironment("QARVEX_CONTACT_URL", "https://www.qarvex.example/contact.html");
}

}  // namespace qx
