// The HTML page as the form engine reads it: the elements of its body that
// links, buttons and forms are made of, parsed with gumbo; and a page saved
// to a local file with the address it came from. Portable.
//
// Texts here are UTF-8 (the parser's own encoding): page text and attribute
// values.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"

namespace qx {

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
  // The attribute's value, or empty when it is absent.
  Text AttributeOrEmpty(std::string_view name) const;
};

// True for the elements a form submits: input, button, select and textarea.
bool IsFormControl(std::string_view tag);

// The kept elements of a whole page (or of a fragment, which becomes the
// body of a page) in document order. A control's form attribute names its
// form by id, wherever the control stands.
std::vector<HtmlElement> ParseHtmlElements(std::string_view utf8Html);

// A page saved to a local file and opened from there still reaches its
// images, styles and links: a <base href> of the address it came from, put
// right after the <head> start tag (or the <html> one, or in front). The
// page's bytes are taken as they come, in any encoding.
Bytes PageWithBase(std::string_view page, std::string_view url);

}  // namespace qx
