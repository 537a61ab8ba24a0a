// The control-panel login: the machine's management page, the form fragment
// cut from it and rewritten so that its submit button has a name, and the
// local page file it is pressed in. Page rules only (the requests are in
// control_panel_flow_win.h).
#pragma once

#include <string_view>

#include "base/config.h"
#include "base/text.h"

namespace qx {

// "//user/cloudManage/manage.html?menu=outstart&id=" + machine id.
Text ManagePageUrl(std::string_view portalBaseUrl, std::string_view machineId);

// The rewritten form fragment of the management page (GBK): the text
// between "<!--分割开始!--->" and "<!--分割结束!--->" with the rewrites
// applied. A page without the markers gives an empty fragment.
Text ControlPanelFragment(std::string_view page);
// The five rewrites in order, each on the first occurrence only, letter case
// ignored: the icon and the wrapper div removed, the 自助换机 <em> closing
// the link instead, the bare submit input given the name "Submit", the
// javascript link's start tag replaced by "'".
Text RewriteControlPanelFragment(std::string_view fragment);

// The local page file: the fragment's GBK bytes, nothing added.
inline constexpr const char* kControlPanelPagePath = QARVEX_DATA_DIR "vpsadm.html";
// Where the page a submission ends on is saved when it was not reached by a
// redirect, beside the local page, for the browser to open; it is deleted
// soon after (see OpenSubmissionResult).
inline constexpr const char* kControlPanelResultPath = QARVEX_DATA_DIR "vpsadm_result.html";

// The box shown while the page is pressed.
inline constexpr const char* kControlPanelWaitText = "正在登录控制面板请稍后";
inline constexpr const char* kControlPanelWaitTitle = "系统提示:";  // ASCII colon
// The locators pressed on the page, in this order.
inline constexpr const char* kControlPanelLink = "1";
inline constexpr const char* kControlPanelButton = "Submit";

}  // namespace qx
