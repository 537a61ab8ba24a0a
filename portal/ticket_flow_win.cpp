#include "portal/ticket_flow_win.h"

#include "base/codepage.h"
#include "web/fetch_page.h"

namespace qx {

TicketContact ReadTicketContact(std::string_view portalBaseUrl) {
  return ParseTicketForm(Utf8ToAnsi(BytesToText(PlainGet(TicketFormUrl(portalBaseUrl)))));
}

TicketVerdict FileTicket(std::string_view portalBaseUrl, std::string_view body) {
  Text headers;
  const Bytes reply =
      FetchPage(TicketSaveUrl(portalBaseUrl), 1, body, nullptr, nullptr, {}, &headers);
  return ReadTicketReply(headers, BytesToText(reply));
}

}  // namespace qx
