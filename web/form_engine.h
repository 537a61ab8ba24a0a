// The program's own small browser engine for pages it presses controls in:
// a page (web/html_page.h), the lookup of its links and buttons, and what
// pressing one does (open a URL, or submit its form as a browser would).
// Portable: it makes no requests and opens nothing itself; the requests a
// submission leads to follow the rules of web/request_rules.h.
//
// Texts here are UTF-8 (the parser's own encoding): page text, attribute
// values, locators and the URLs built from them. Built URLs are ASCII (other
// bytes percent-encoded), as a browser sends them.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "web/html_page.h"
#include "web/url.h"

namespace qx {

// What pressing a control does.
struct PageAction {
  enum Kind { Nothing, Open, Submit };
  Kind kind = Nothing;
  Text url;  // Open: the link's URL; Submit: the request URL (a GET carries the query)
  bool post = false;
  Text body;  // POST: the form data, application/x-www-form-urlencoded
};

// The types the button lookup takes by default.
inline constexpr std::string_view kButtonTypes[] = {"button", "submit", "reset"};

class HtmlPage {
 public:
  HtmlPage() = default;
  // Parses a whole page (or a fragment, which becomes the body of a page).
  static HtmlPage Parse(std::string_view utf8Html);

  const std::vector<HtmlElement>& elements() const { return elements_; }

  // Link lookup, locator L: the body's `a` elements in document order,
  // counted from 1. A link is taken when its href, id, title, text or class
  // equals L (byte for byte), otherwise when L read as a number equals its
  // count; the first link taken ends the search. The element's index, or -1.
  [[nodiscard]] int FindLink(std::string_view locator) const;
  // Button lookup, locator L: the candidates are the body's `input`
  // elements whose type is one of `types`, in document order, then its
  // `button` elements, counted from 1 across both. Taken by name, id or title
  // equal to L, otherwise by L read as a number equal to its count; -1 when
  // none is.
  [[nodiscard]] int FindButton(std::string_view locator,
                               std::span<const std::string_view> types = kButtonTypes) const;

  void SetAttribute(int element, std::string_view name, std::string_view value);

  // Pressing element `index` of a page whose relative addresses lead to
  // `baseUrl`: a link opens its URL (nothing for a javascript: link or one
  // without href); a submit button (input submit or image, button of type
  // submit) submits its form; anything else does nothing.
  [[nodiscard]] PageAction Press(int index, std::string_view baseUrl) const;

 private:
  PageAction SubmitForm(int form, int submitter, std::string_view baseUrl) const;
  std::vector<HtmlElement> elements_;
};

}  // namespace qx
