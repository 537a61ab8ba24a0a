#include "portal/version_check.h"
#include "web/winhttp_fetch.h"

namespace qx {

NoticeInfo FetchNotice(std::string_view noticePageUrl) {
  return ParseNoticePage(WinHttpFetch(noticePageUrl));
}

}  // namespace qx
