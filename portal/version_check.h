// The start-up version check against the notice page.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

struct NoticeInfo {
  Text publishedVersion;  // as cut, unconverted
  Text loginNotice;
  Text announcement;
  Text downloadLink;
};
NoticeInfo ParseNoticePage(std::string_view page);

// The main window's notice line, cut from the page as it came (no conversion).
Text NoticeLine(std::string_view noticePageBody);

struct VersionDecision {
  bool promptAndEnd = false;
  Text message;  // the Yes/No question when promptAndEnd
  // What Yes opens: the download link, only when it is an http:// or https://
  // address (the page comes over a connection that ignores certificate
  // errors, so a tampered link must not start a local program or a share).
  Text linkToOpen;
};
// A page that could not be read or carries no version (none, or one that
// does not read as a number) lets the login go on: the terminal must stay
// usable while the notice host is down. A published version whose number
// differs from ours asks to update and ends.
[[nodiscard]] VersionDecision DecideVersion(const NoticeInfo& info, int ownVersion);

}  // namespace qx
