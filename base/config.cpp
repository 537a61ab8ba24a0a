#include "base/config.h"

#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include "base/os_win.h"
#endif

namespace qx {
namespace {

Text FromEnvironment(const char* name, const char* fallback) {
#ifdef _WIN32
  const std::wstring value = EnvironmentValue(std::wstring(name, name + std::strlen(name)).c_str());
  if (!value.empty()) return Narrow(value);
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
