#include "portal/ticket.h"

#include "web/request_rules.h"
#include "web/url.h"

namespace qx {

Text TicketFormUrl(std::string_view portalBaseUrl) {
  return Text(portalBaseUrl) + "//user/ticket/add.html?classId=1";
}

Text TicketSaveUrl(std::string_view portalBaseUrl) {
  return Text(portalBaseUrl) + "//user/ticket/save.html";
}

TicketContact ParseTicketForm(std::string_view page) {
  TicketContact c;
  c.mobile = TextBetween(page, "id=\"mobile\" value=\"", "\">");
  c.qq = TextBetween(page, "name=\"qq\" id=\"qq\" value=\"", "\">");
  return c;
}

Text BusinessIdOf(std::string_view details) { return TextBetween(details, "业务标识：", "\r\n"); }

Text TicketWindowTitle(std::string_view businessId) {
  Text t = "业务标识：";
  t += businessId;
  t += "工单服务！";
  return t;
}

const char* TicketTitleSuffix(TicketKind kind) {
  return kind == TicketKind::RemoteAccess ? "：远程故障-客户端工单" : "：拨号故障-客户端工单";
}

Text TicketBody(TicketKind kind, std::string_view details, std::string_view businessId,
                const TicketContact& contact) {
  Text body = "classID=1&title=";
  body += FormEncode(businessId);
  body += FormEncode(TicketTitleSuffix(kind));
  body += "&content=";
  body += FormEncode(details);
  body += "&attachments=&mobile=";
  body += FormEncode(contact.mobile);
  body += "&myMobile=1&qq=";
  body += FormEncode(contact.qq);
  body += "&myQQ=1&attachmentIds=";
  return body;
}

bool TicketAccepted(std::string_view responseHeaders) {
  const int status = ResponseStatus(responseHeaders);
  return status >= 200 && status < 400;
}

}  // namespace qx
