#include "portal/version_check_flow_win.h"

#include "web/fetch_page.h"
#include "web/winhttp_fetch.h"

namespace qx {

NoticeInfo FetchNotice(std::string_view noticePageUrl) {
  return ParseNoticePage(WinHttpFetch(noticePageUrl));
}

Text FetchNoticeLine(std::string_view noticePageUrl) {
  return NoticeLine(BytesToText(FetchPage(noticePageUrl)));  // GBK as it comes
}

}  // namespace qx
