// The fault ticket's requests: the ticket form read with the plain GET, and
// the filing posted through FetchPage. Each runs on the portal's worker.
#pragma once

#include <string_view>

#include "portal/ticket.h"

namespace qx {

// The member's mobile and qq from the ticket form (empty when the read fails).
[[nodiscard]] TicketContact ReadTicketContact(std::string_view portalBaseUrl);
// Posts a ticket body and reads the portal's reply (ReadTicketReply).
[[nodiscard]] TicketVerdict FileTicket(std::string_view portalBaseUrl, std::string_view body);

}  // namespace qx
