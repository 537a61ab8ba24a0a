// The login requests; kept apart from the page rules, which build natively.
#include "portal/login.h"
#include "web/codepage.h"
#include "web/fetch_page.h"

namespace qx {

ProbeResult ProbeSession(std::string_view portalBaseUrl) {
  Text url(portalBaseUrl);
  url += "//user";
  return ParseProbePage(Utf8ToAnsi(BytesToText(PlainGet(url))));
}

void Logout(std::string_view portalBaseUrl) {
  Text url(portalBaseUrl);
  url += "//home/login/logout";
  PlainGet(url);
}

Text PostLogin(std::string_view portalBaseUrl, std::string_view user, std::string_view password) {
  Text url(portalBaseUrl);
  url += "//login/login";
  return BytesToText(FetchPage(url, 1, LoginBody(user, password)));
}

}  // namespace qx
