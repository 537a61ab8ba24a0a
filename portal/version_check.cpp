#include "portal/version_check.h"

#include <string>

#include "web/url.h"

namespace qx {

NoticeInfo ParseNoticePage(std::string_view page) {
  NoticeInfo n;
  n.publishedVersion = TextBetween(page, "最新版本：", "</span></strong>");
  n.loginNotice = TextBetween(page, "<!--登录窗口><!-->", "</span></strong>");
  n.announcement = TextBetween(page, "<!--更新公告><!-->", "</span></strong>");
  n.downloadLink = TextBetween(page, "target=\"_blank\">", "</a></span></strong>");
  return n;
}

Text NoticeLine(std::string_view noticePageBody) {
  return TextBetween(noticePageBody, "<!--公告><!-->", "</span>");
}

VersionDecision DecideVersion(const NoticeInfo& info, int ownVersion) {
  VersionDecision d;
  // No number there (empty, or letters such as "abc") is no published
  // version: it cannot tell an update from a typing slip on the page.
  if (!ReadsAsNumber(info.publishedVersion)) return d;
  if (TextToInt(info.publishedVersion) == ownVersion) return d;
  d.promptAndEnd = true;
  d.message = "发现新版本" + info.publishedVersion + "当前版本：" + std::to_string(ownVersion) +
              "\r\n" + info.announcement + "是否更新";
  if (IsWebUrl(info.downloadLink)) d.linkToOpen = info.downloadLink;
  return d;
}

}  // namespace qx
