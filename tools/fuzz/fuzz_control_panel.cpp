// The management page cut and rewritten into the local control-panel page,
// then the page parsed and its link and button pressed; the ticket form's
// contact fields, the ticket body and the verdict on the page as the filing's
// reply. Input: details text, then the page.
#include "base/codepage.h"
#include "portal/control_panel.h"
#include "portal/ticket.h"
#include "tools/fuzz/fuzz_util.h"
#include "web/form_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string details = in.Piece();
  const std::string page = in.Rest();
  const qx::Text fragment = qx::ControlPanelFragment(page);
  FUZZ_CHECK(fragment.size() <= page.size() + 16);
  const qx::HtmlPage local =
      qx::HtmlPage::Parse(qx::WideToText(qx::AnsiToWide(fragment), qx::kUtf8));
  for (const int i :
       {local.FindLink(qx::kControlPanelLink), local.FindButton(qx::kControlPanelButton)})
    if (i >= 0) (void)local.Press(i, "http://127.0.0.1:8080/user/");

  const qx::TicketContact contact = qx::ParseTicketForm(page);
  FUZZ_CHECK(page.find(contact.mobile) != std::string::npos);
  FUZZ_CHECK(page.find(contact.qq) != std::string::npos);
  const qx::Text id = qx::BusinessIdOf(details);
  const qx::Text body = qx::TicketBody(qx::TicketKind::DialUp, details, id, contact);
  // Every value is encoded: the fields cannot shift.
  size_t fields = 1;
  for (const char c : body) fields += c == '&';
  static const size_t expected = [] {
    const qx::Text b = qx::TicketBody(qx::TicketKind::DialUp, "x", "x", {});
    size_t n = 1;
    for (const char c : b) n += c == '&';
    return n;
  }();
  FUZZ_CHECK(fields == expected);

  const qx::TicketVerdict verdict = qx::ReadTicketReply("HTTP/1.1 200 OK\r\n\r\n", page);
  // The first "result" key says false: not filed, whatever the status.
  const size_t refusal = page.find("\"result\":false");
  if (refusal != std::string::npos && refusal == page.find("\"result\""))
    FUZZ_CHECK(!verdict.filed);
  FUZZ_CHECK(!qx::TicketVerdictText(verdict).empty());
  FUZZ_CHECK(!qx::ReadTicketReply("", page).filed);
  return 0;
}
