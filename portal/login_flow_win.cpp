#include "portal/login_flow_win.h"

#include "base/codepage.h"
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
  // Whatever the portal answers, the login that follows starts afresh.
  (void)PlainGet(url);
}

Text PostLogin(std::string_view portalBaseUrl, std::string_view userUtf8,
               std::string_view passwordUtf8, RequestFailure* why) {
  Text url(portalBaseUrl);
  url += "//login/login";
  const Bytes reply = FetchPage(url, 1, LoginBody(userUtf8, passwordUtf8));
  if (why) *why = LastRequestFailure();
  return Utf8ToAnsi(BytesToText(reply));
}

}  // namespace qx
