// The notice page requests. They block: run them on a worker
// (base/flow_runner_win.h), never on the window thread.
#pragma once

#include <string_view>

#include "portal/version_check.h"

namespace qx {

// The notice page for the version check (WinHTTP, decoded to GBK by its charset).
[[nodiscard]] NoticeInfo FetchNotice(std::string_view noticePageUrl);
// The main window's notice line (WinINet, the page taken as it comes).
[[nodiscard]] Text FetchNoticeLine(std::string_view noticePageUrl);

}  // namespace qx
