// A page the program presses controls in: parsing, the link and button
// lookups, pressing every element, URL resolution and redirects.
// Input: locator, base URL, then the page (UTF-8, as the engine takes it).
#include "tools/fuzz/fuzz_util.h"
#include "web/form_engine.h"
#include "web/request_rules.h"

namespace {

bool Ascii(std::string_view s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7e) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string locator = in.Piece();
  const std::string base = "http://127.0.0.1:8080/" + in.Piece();
  const std::string html = in.Rest();
  const qx::HtmlPage page = qx::HtmlPage::Parse(html);
  const int count = static_cast<int>(page.elements().size());
  const int link = page.FindLink(locator);
  const int button = page.FindButton(locator);
  FUZZ_CHECK(link >= -1 && link < count);
  FUZZ_CHECK(button >= -1 && button < count);
  for (int i = 0; i < count && i < 64; ++i) {
    const qx::PageAction a = page.Press(i, base);
    if (a.kind == qx::PageAction::Nothing) continue;
    // What the program would open or send is plain ASCII.
    FUZZ_CHECK(Ascii(a.url));
    FUZZ_CHECK(Ascii(a.body));
  }
  const qx::Text resolved = qx::ResolveUrl(base, locator);
  FUZZ_CHECK(Ascii(resolved));
  const qx::PageRequest request{base, true, "a=1"};
  if (const auto next = qx::RedirectRequest(request, html)) {
    FUZZ_CHECK(qx::IsWebUrl(next->url));
    FUZZ_CHECK(Ascii(next->url));
  }
  const qx::Bytes saved = qx::PageWithBase(html, base);
  FUZZ_CHECK(saved.size() >= html.size());
  return 0;
}
