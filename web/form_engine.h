// The program's own small browser engine for pages it presses controls in:
// an HTML page parsed with gumbo, the lookup of links and buttons, and what
// pressing one does (open a URL, or submit its form as a browser would).
// Portable: it makes no requests and opens nothing itself.
//
// Texts here are UTF-8 (the parser's own encoding): page text, attribute
// values, locators and the URLs built from them. Built URLs are ASCII (other
// bytes percent-encoded), as a browser sends them.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"

namespace qx {

// `reference` resolved against the absolute URL `base` as a browser does
// (RFC 3986, with blanks around it and tabs and line breaks in it dropped and
// "\" read as "/" for http and https); a reference with its own scheme stands
// alone. Bytes a URL cannot carry (controls, blanks, non-ASCII, quotes, angle
// brackets) come out percent-encoded.
Text ResolveUrl(std::string_view base, std::string_view reference);

// One element of a page's body that the lookups and the form submission use:
// a, form, input, button, select, option and textarea.
struct HtmlElement {
  Text tag;                                       // lower case
  std::vector<std::pair<Text, Text>> attributes;  // as parsed: names lower case, values decoded
  Text text;                                      // the text of its descendants
  int form = -1;                                  // index of the form element it belongs to
  int select = -1;                                // option: index of its select element
  bool disabled = false;  // its own disabled attribute, or inside a disabled fieldset

  // The attribute's value, or null when it is absent.
  const Text* Attribute(std::string_view name) const;
};

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
  int FindLink(std::string_view locator) const;
  // Button lookup, locator L: the candidates are the body's `input`
  // elements whose type is one of `types`, in document order, then its
  // `button` elements, counted from 1 across both. Taken by name, id or title
  // equal to L, otherwise by L read as a number equal to its count.
  int FindButton(std::string_view locator,
                 std::span<const std::string_view> types = kButtonTypes) const;

  void SetAttribute(int element, std::string_view name, std::string_view value);

  // Pressing element `index` of a page whose relative addresses lead to
  // `baseUrl`: a link opens its URL (nothing for a javascript: link or one
  // without href); a submit button (input submit or image, button of type
  // submit) submits its form; anything else does nothing.
  PageAction Press(int index, std::string_view baseUrl) const;

 private:
  PageAction SubmitForm(int form, int submitter, std::string_view baseUrl) const;
  std::vector<HtmlElement> elements_;
};

// The HTTP status of a raw response header block ("HTTP/1.1 302 Found..."),
// 0 when there is none.
int ResponseStatus(std::string_view responseHeaders);

// A request the engine makes.
struct PageRequest {
  Text url;
  bool post = false;
  Text body;
};
// The request a browser makes next when `request` got `responseHeaders`:
// the Location of a 301, 302, 303, 307 or 308 answer resolved against the
// request URL (a GET, except that 307 and 308 repeat a POST with its body);
// nothing for any other answer, a missing Location or a target that is not
// http or https.
std::optional<PageRequest> RedirectRequest(const PageRequest& request,
                                           std::string_view responseHeaders);

// A page saved to a local file and opened from there still reaches its
// images, styles and links: a <base href> of the address it came from, put
// right after the <head> start tag (or the <html> one, or in front).
Bytes PageWithBase(std::string_view page, std::string_view url);

// True for an http or https URL (the only URLs pressed controls open).
bool IsWebUrl(std::string_view url);

}  // namespace qx
