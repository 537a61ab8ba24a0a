#include "portal/ticket_flow_win.h"

#include "base/codepage.h"
#include "web/fetch_page.h"

namespace qx {

TicketContact ReadTicketContact(std::string_view portalBaseUrl) {
  return ParseTicketForm(Utf8ToAnsi(BytesToText(PlainGet(TicketFormUrl(portalBaseUrl)))));
}

bool FileTicket(std::string_view portalBaseUrl, std::string_view body) {
  Text headers;
  // The verdict is the status alone; the page the portal answers with says no more.
  (void)FetchPage(TicketSaveUrl(portalBaseUrl), 1, body, nullptr, nullptr, {}, &headers);
  return TicketAccepted(headers);
}

}  // namespace qx
