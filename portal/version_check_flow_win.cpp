#include "portal/version_check_flow_win.h"

#include "web/fetch_page.h"
#include "web/winhttp_fetch.h"

namespace qx {

NoticeInfo FetchNotice(std::string_view noticePageUrl) {
  Text status;
  const Text page = WinHttpFetch(noticePageUrl, 0, {}, nullptr, nullptr, {}, nullptr, false, {}, {},
                                 {}, {}, {}, 0, nullptr, &status);
  // A page cut short (713) is no page: its version may be cut too.
  if (status.rfind("713", 0) == 0) return {};
  return ParseNoticePage(page);
}

Text FetchNoticeLine(std::string_view noticePageUrl) {
  return NoticeLine(BytesToText(FetchPage(noticePageUrl)));  // GBK as it comes
}

}  // namespace qx
