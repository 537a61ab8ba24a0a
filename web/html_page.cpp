#include "web/html_page.h"

#include <gumbo.h>

#include <memory>

namespace qx {
namespace {

using GumboOutputPtr = std::unique_ptr<GumboOutput, void (*)(GumboOutput*)>;

const char* KeptTagName(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_A:
      return "a";
    case GUMBO_TAG_FORM:
      return "form";
    case GUMBO_TAG_INPUT:
      return "input";
    case GUMBO_TAG_BUTTON:
      return "button";
    case GUMBO_TAG_SELECT:
      return "select";
    case GUMBO_TAG_OPTION:
      return "option";
    case GUMBO_TAG_TEXTAREA:
      return "textarea";
    default:
      return nullptr;
  }
}

void AppendText(const GumboNode* node, Text& out) {
  switch (node->type) {
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_CDATA:
    case GUMBO_NODE_WHITESPACE:
      out += node->v.text.text;
      return;
    case GUMBO_NODE_ELEMENT: {
      const GumboVector& children = node->v.element.children;
      for (unsigned i = 0; i < children.length; ++i)
        AppendText(static_cast<const GumboNode*>(children.data[i]), out);
      return;
    }
    default:
      return;  // comments, templates
  }
}

struct WalkContext {
  int form = -1;
  int select = -1;
  bool disabledFieldset = false;
};

class Walker {
 public:
  explicit Walker(std::vector<HtmlElement>& out) : out_(out) {}

  void Walk(const GumboNode* node, WalkContext ctx) {
    if (node->type != GUMBO_NODE_ELEMENT) return;  // text, comments; template contents are inert
    const GumboElement& e = node->v.element;
    const bool html = e.tag_namespace == GUMBO_NAMESPACE_HTML;
    if (const char* name = html ? KeptTagName(e.tag) : nullptr) {
      HtmlElement el;
      el.tag = name;
      for (unsigned i = 0; i < e.attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
        el.attributes.emplace_back(a->name, a->value);
      }
      if (el.tag == "a" || el.tag == "option" || el.tag == "textarea") AppendText(node, el.text);
      el.form = ctx.form;
      el.select = el.tag == "option" ? ctx.select : -1;
      el.disabled = el.tag != "a" && el.tag != "form" &&
                    (ctx.disabledFieldset || el.Attribute("disabled") != nullptr);
      out_.push_back(std::move(el));
      const int index = static_cast<int>(out_.size()) - 1;
      if (e.tag == GUMBO_TAG_FORM) ctx.form = index;
      if (e.tag == GUMBO_TAG_SELECT) ctx.select = index;
    }
    if (html && e.tag == GUMBO_TAG_FIELDSET && gumbo_get_attribute(&e.attributes, "disabled"))
      ctx.disabledFieldset = true;
    for (unsigned i = 0; i < e.children.length; ++i)
      Walk(static_cast<const GumboNode*>(e.children.data[i]), ctx);
  }

 private:
  std::vector<HtmlElement>& out_;
};

}  // namespace

const Text* HtmlElement::Attribute(std::string_view name) const {
  for (const auto& [n, v] : attributes)
    if (n == name) return &v;
  return nullptr;
}

Text HtmlElement::AttributeOrEmpty(std::string_view name) const {
  const Text* v = Attribute(name);
  return v ? *v : Text();
}

bool IsFormControl(std::string_view tag) {
  return tag == "input" || tag == "button" || tag == "select" || tag == "textarea";
}

std::vector<HtmlElement> ParseHtmlElements(std::string_view utf8Html) {
  std::vector<HtmlElement> elements;
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // the errors are not looked at
  GumboOutputPtr out(gumbo_parse_with_options(&options, utf8Html.data(), utf8Html.size()),
                     gumbo_destroy_output);
  if (!out || !out->root || out->root->type != GUMBO_NODE_ELEMENT) return elements;
  const GumboVector& top = out->root->v.element.children;
  for (unsigned i = 0; i < top.length; ++i) {
    const auto* node = static_cast<const GumboNode*>(top.data[i]);
    if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_BODY)
      Walker(elements).Walk(node, {});
  }
  // A control's form attribute names its form by id, wherever it stands.
  for (HtmlElement& e : elements) {
    if (!IsFormControl(e.tag)) continue;
    const Text* id = e.Attribute("form");
    if (!id) continue;
    e.form = -1;
    for (size_t f = 0; f < elements.size(); ++f) {
      const HtmlElement& form = elements[f];
      if (form.tag == "form" && form.AttributeOrEmpty("id") == *id) {
        e.form = static_cast<int>(f);
        break;
      }
    }
  }
  return elements;
}

Bytes PageWithBase(std::string_view page, std::string_view url) {
  Text tag = "<base href=\"";
  for (char c : url) {
    switch (c) {
      case '&':
        tag += "&amp;";
        break;
      case '"':
        tag += "&quot;";
        break;
      case '<':
        tag += "&lt;";
        break;
      case '>':
        tag += "&gt;";
        break;
      default:
        tag += c;
    }
  }
  tag += "\">";
  // After the start tag of head, else of html: the first such tag whose
  // name ends there.
  for (std::string_view name : {"<head", "<html"}) {
    for (size_t at = FindNoCase(page, name); at != std::string_view::npos;
         at = FindNoCase(page, name, at + 1)) {
      const size_t after = at + name.size();
      if (after >= page.size()) break;
      const char next = page[after];
      if (next != '>' && next != '/' && !IsAsciiBlank(next)) continue;
      const size_t close = page.find('>', after);
      if (close == std::string_view::npos) break;
      Bytes out(page.substr(0, close + 1));
      out += tag;
      out += page.substr(close + 1);
      return out;
    }
  }
  return tag + Bytes(page);
}

}  // namespace qx
