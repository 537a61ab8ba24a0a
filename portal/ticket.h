// Fault tickets: the contact fields cut from the portal's ticket form, the
// window title, the ticket body and the verdict on the portal's answer. Page
// rules only (the requests are in ticket_flow_win.h).
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

// The ticket form page and the filing, under the portal base.
Text TicketFormUrl(std::string_view portalBaseUrl);  // "//user/ticket/add.html?classId=1"
Text TicketSaveUrl(std::string_view portalBaseUrl);  // "//user/ticket/save.html"

// The member's contact fields as the ticket form pre-fills them.
struct TicketContact {
  Text mobile;
  Text qq;
};
// The form page, already in GBK; a page without the fields gives empty texts.
TicketContact ParseTicketForm(std::string_view page);

// The business identifier: the rest of the details text's first line.
Text BusinessIdOf(std::string_view details);
// "业务标识：" + business identifier + "工单服务！"
Text TicketWindowTitle(std::string_view businessId);

enum class TicketKind { RemoteAccess, DialUp };
// "：远程故障-客户端工单" or "：拨号故障-客户端工单"
const char* TicketTitleSuffix(TicketKind kind);

// The body posted to the save address. Every value goes through FormEncode,
// so an "&" or "=" in the business identifier, mobile or qq (they come from
// the portal's pages) cannot shift the fields; digits and letters are the same
// either way.
Text TicketBody(TicketKind kind, std::string_view details, std::string_view businessId,
                const TicketContact& contact);

// What the portal said to a filing.
struct TicketVerdict {
  bool filed = false;  // the portal took the ticket
  Text text;           // the reply's own "text" (GBK), empty when it has none
};
// The portal's reply read: a 2xx or 3xx status (FetchPage follows a
// redirect, so a 3xx comes back only when it names nowhere to go) whose JSON
// does not say "result":false is a filed ticket; any other status, or none
// at all (empty headers), is not. `body` is the reply's UTF-8 bytes.
[[nodiscard]] TicketVerdict ReadTicketReply(std::string_view responseHeaders,
                                            std::string_view body);
// The box's text for a verdict: kTicketFiledText for a filed ticket, else the
// portal's own words, or kTicketFailedText when it gave none.
Text TicketVerdictText(const TicketVerdict& verdict);

inline constexpr const char* kTicketFiledText =
    "工单下发成功，请耐心等待工程师处理！\r\n届时请关注您账户绑定的邮箱，工程师处理完毕将会有邮件"
    "提醒！\r\n如需更快的处理您的问题，您可联系网站在线QQ客服！";
inline constexpr const char* kTicketFiledTitle = "系统提示：";
inline constexpr const char* kTicketFailedText = "工单提交失败，请稍后重试";
inline constexpr const char* kTicketFailedTitle = "信息：";

}  // namespace qx
