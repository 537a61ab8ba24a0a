#include "web/form_engine.h"

#include <gumbo.h>

#include <algorithm>
#include <memory>

#include "web/request_rules.h"
#include "web/url.h"

namespace qx {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

Text Lower(std::string_view s) {
  Text out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && Lower(s.substr(0, prefix.size())) == prefix;
}

// Byte position of `needle` (lower-case ASCII) in `hay`, ASCII case ignored;
// npos when absent. Works on any byte encoding.
size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from = 0) {
  auto it =
      std::search(hay.begin() + static_cast<std::ptrdiff_t>(std::min(from, hay.size())), hay.end(),
                  needle.begin(), needle.end(), [](char a, char b) { return LowerAscii(a) == b; });
  return it == hay.end() ? std::string_view::npos : static_cast<size_t>(it - hay.begin());
}

bool IsAsciiBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

Text TrimAsciiBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsAsciiBlank(s[b])) ++b;
  while (e > b && IsAsciiBlank(s[e - 1])) --e;
  return Text(s.substr(b, e - b));
}

// --- URLs ---

struct UrlParts {
  Text scheme;  // lower case; empty when none
  bool hasAuthority = false;
  Text authority;
  Text path;
  bool hasQuery = false;
  Text query;
  bool hasFragment = false;
  Text fragment;
};

bool IsSchemeChar(char c, bool first) {
  const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return alpha;
  return alpha || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// ^(([^:/?#]+):)?(//([^/?#]*))?([^?#]*)(\?([^#]*))?(#(.*))?
UrlParts SplitUrlParts(std::string_view s) {
  UrlParts p;
  size_t i = 0;
  const size_t colon = s.find(':');
  if (colon != std::string_view::npos && colon > 0 &&
      s.substr(0, colon).find_first_of("/?#") == std::string_view::npos) {
    bool ok = true;
    for (size_t k = 0; k < colon && ok; ++k) ok = IsSchemeChar(s[k], k == 0);
    if (ok) {
      p.scheme = Lower(s.substr(0, colon));
      i = colon + 1;
    }
  }
  if (s.substr(i, 2) == "//") {
    p.hasAuthority = true;
    const size_t end = std::min(s.find_first_of("/?#", i + 2), s.size());
    p.authority = Text(s.substr(i + 2, end - i - 2));
    i = end;
  }
  const size_t pathEnd = std::min(s.find_first_of("?#", i), s.size());
  p.path = Text(s.substr(i, pathEnd - i));
  i = pathEnd;
  if (i < s.size() && s[i] == '?') {
    p.hasQuery = true;
    const size_t end = std::min(s.find('#', i), s.size());
    p.query = Text(s.substr(i + 1, end - i - 1));
    i = end;
  }
  if (i < s.size() && s[i] == '#') {
    p.hasFragment = true;
    p.fragment = Text(s.substr(i + 1));
  }
  return p;
}

// RFC 3986 5.2.4.
Text RemoveDotSegments(std::string_view in) {
  Text input(in), output;
  while (!input.empty()) {
    if (input.rfind("../", 0) == 0) {
      input.erase(0, 3);
    } else if (input.rfind("./", 0) == 0) {
      input.erase(0, 2);
    } else if (input.rfind("/./", 0) == 0) {
      input.erase(0, 2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.rfind("/../", 0) == 0 || input == "/..") {
      input = input.size() == 3 ? Text("/") : input.substr(3);
      const size_t last = output.rfind('/');
      output.resize(last == Text::npos ? 0 : last);
    } else if (input == "." || input == "..") {
      input.clear();
    } else {
      const size_t next = input.find('/', 1);
      const size_t n = next == Text::npos ? input.size() : next;
      output.append(input, 0, n);
      input.erase(0, n);
    }
  }
  return output;
}

Text JoinUrlParts(const UrlParts& p) {
  Text out;
  if (!p.scheme.empty()) out += p.scheme + ":";
  if (p.hasAuthority) out += "//" + p.authority;
  out += p.path;
  if (p.hasQuery) out += "?" + p.query;
  if (p.hasFragment) out += "#" + p.fragment;
  return out;
}

Text PercentEncodeUnsafe(std::string_view url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text out;
  for (unsigned char c : url) {
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '`') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// A reference cleaned as a browser's URL parser does first.
Text CleanReference(std::string_view reference, bool special) {
  size_t b = 0, e = reference.size();
  while (b < e && static_cast<unsigned char>(reference[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(reference[e - 1]) <= 0x20) --e;
  Text out;
  bool inPath = true;
  for (char c : reference.substr(b, e - b)) {
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c == '?' || c == '#') inPath = false;
    out += (special && inPath && c == '\\') ? '/' : c;
  }
  return out;
}

// --- the parse ---

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

bool IsFormControl(const Text& tag) {
  return tag == "input" || tag == "button" || tag == "select" || tag == "textarea";
}

Text InputType(const HtmlElement& e) {
  const Text* t = e.Attribute("type");
  return t ? Lower(*t) : Text("text");
}

Text AttributeOrEmpty(const HtmlElement& e, std::string_view name) {
  const Text* v = e.Attribute(name);
  return v ? *v : Text();
}

// Line breaks in form data go as CR LF.
Text NormalizeNewlines(std::string_view s) {
  Text out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out += "\r\n";
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else if (s[i] == '\n') {
      out += "\r\n";
    } else {
      out += s[i];
    }
  }
  return out;
}

// An option's value: its value attribute, else its text with blanks collapsed.
Text OptionValue(const HtmlElement& option) {
  if (const Text* v = option.Attribute("value")) return *v;
  Text out;
  bool blank = false;
  for (char c : TrimAsciiBlanks(option.text)) {
    if (IsAsciiBlank(c)) {
      blank = true;
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

Text WithoutFragment(std::string_view url) { return Text(url.substr(0, url.find('#'))); }

}  // namespace

Text ResolveUrl(std::string_view base, std::string_view reference) {
  const UrlParts b = SplitUrlParts(base);
  const bool special = b.scheme == "http" || b.scheme == "https";
  const Text cleaned = CleanReference(reference, special);
  UrlParts r = SplitUrlParts(cleaned);
  UrlParts t;
  if (!r.scheme.empty()) {
    t = r;
    t.path = RemoveDotSegments(r.path);
  } else {
    t.scheme = b.scheme;
    if (r.hasAuthority) {
      t.hasAuthority = true;
      t.authority = r.authority;
      t.path = RemoveDotSegments(r.path);
      t.hasQuery = r.hasQuery;
      t.query = r.query;
    } else {
      t.hasAuthority = b.hasAuthority;
      t.authority = b.authority;
      if (r.path.empty()) {
        t.path = b.path;
        t.hasQuery = r.hasQuery || b.hasQuery;
        t.query = r.hasQuery ? r.query : b.query;
      } else {
        if (r.path[0] == '/') {
          t.path = RemoveDotSegments(r.path);
        } else {
          Text merged;
          if (b.hasAuthority && b.path.empty()) {
            merged = "/" + r.path;
          } else {
            const size_t slash = b.path.rfind('/');
            merged = (slash == Text::npos ? Text() : b.path.substr(0, slash + 1)) + r.path;
          }
          t.path = RemoveDotSegments(merged);
        }
        t.hasQuery = r.hasQuery;
        t.query = r.query;
      }
    }
    t.hasFragment = r.hasFragment;
    t.fragment = r.fragment;
  }
  if (special && t.hasAuthority && t.path.empty()) t.path = "/";
  return PercentEncodeUnsafe(JoinUrlParts(t));
}

const Text* HtmlElement::Attribute(std::string_view name) const {
  for (const auto& [n, v] : attributes)
    if (n == name) return &v;
  return nullptr;
}

HtmlPage HtmlPage::Parse(std::string_view utf8Html) {
  HtmlPage page;
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // the errors are not looked at
  GumboOutputPtr out(gumbo_parse_with_options(&options, utf8Html.data(), utf8Html.size()),
                     gumbo_destroy_output);
  if (!out || !out->root || out->root->type != GUMBO_NODE_ELEMENT) return page;
  const GumboVector& top = out->root->v.element.children;
  for (unsigned i = 0; i < top.length; ++i) {
    const auto* node = static_cast<const GumboNode*>(top.data[i]);
    if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_BODY)
      Walker(page.elements_).Walk(node, {});
  }
  // A control's form attribute names its form by id, wherever it stands.
  for (HtmlElement& e : page.elements_) {
    if (!IsFormControl(e.tag)) continue;
    const Text* id = e.Attribute("form");
    if (!id) continue;
    e.form = -1;
    for (size_t f = 0; f < page.elements_.size(); ++f) {
      const HtmlElement& form = page.elements_[f];
      if (form.tag == "form" && AttributeOrEmpty(form, "id") == *id) {
        e.form = static_cast<int>(f);
        break;
      }
    }
  }
  return page;
}

int HtmlPage::FindLink(std::string_view locator) const {
  const long long number = AtoiText(locator);
  long long count = 0;
  for (size_t i = 0; i < elements_.size(); ++i) {
    const HtmlElement& e = elements_[i];
    if (e.tag != "a") continue;
    ++count;
    bool taken = e.text == locator;
    for (const char* name : {"href", "id", "title", "class"})
      taken = taken || AttributeOrEmpty(e, name) == locator;
    if (taken || number == count) return static_cast<int>(i);
  }
  return -1;
}

int HtmlPage::FindButton(std::string_view locator, std::span<const std::string_view> types) const {
  const long long number = AtoiText(locator);
  long long count = 0;
  for (bool inputs : {true, false}) {
    for (size_t i = 0; i < elements_.size(); ++i) {
      const HtmlElement& e = elements_[i];
      if (inputs) {
        if (e.tag != "input") continue;
        const Text type = InputType(e);
        if (std::find(types.begin(), types.end(), type) == types.end()) continue;
      } else if (e.tag != "button") {
        continue;
      }
      ++count;
      bool taken = false;
      for (const char* name : {"name", "id", "title"})
        taken = taken || AttributeOrEmpty(e, name) == locator;
      if (taken || number == count) return static_cast<int>(i);
    }
  }
  return -1;
}

void HtmlPage::SetAttribute(int element, std::string_view name, std::string_view value) {
  if (element < 0 || static_cast<size_t>(element) >= elements_.size()) return;
  HtmlElement& e = elements_[static_cast<size_t>(element)];
  for (auto& [n, v] : e.attributes) {
    if (n == name) {
      v = Text(value);
      return;
    }
  }
  e.attributes.emplace_back(Text(name), Text(value));
}

PageAction HtmlPage::Press(int index, std::string_view baseUrl) const {
  if (index < 0 || static_cast<size_t>(index) >= elements_.size()) return {};
  const HtmlElement& e = elements_[static_cast<size_t>(index)];
  if (e.tag == "a") {
    const Text* href = e.Attribute("href");
    if (!href || StartsWithNoCase(TrimAsciiBlanks(*href), "javascript:")) return {};
    PageAction a;
    a.kind = PageAction::Open;
    a.url = ResolveUrl(baseUrl, *href);
    return a;
  }
  if (e.disabled) return {};
  if (e.tag == "input") {
    const Text type = InputType(e);
    if (type == "submit" || type == "image") return SubmitForm(e.form, index, baseUrl);
    return {};
  }
  if (e.tag == "button") {
    const Text type = Lower(AttributeOrEmpty(e, "type"));
    if (type == "reset" || type == "button") return {};
    return SubmitForm(e.form, index, baseUrl);
  }
  return {};
}

PageAction HtmlPage::SubmitForm(int formIndex, int submitter, std::string_view baseUrl) const {
  if (formIndex < 0) return {};
  const HtmlElement& form = elements_[static_cast<size_t>(formIndex)];
  const HtmlElement& button = elements_[static_cast<size_t>(submitter)];

  const Text* methodAttr = button.Attribute("formmethod");
  if (!methodAttr) methodAttr = form.Attribute("method");
  const Text method = methodAttr ? Lower(TrimAsciiBlanks(*methodAttr)) : Text("get");
  if (method == "dialog") return {};
  const Text* actionAttr = button.Attribute("formaction");
  if (!actionAttr) actionAttr = form.Attribute("action");
  const Text action = actionAttr ? TrimAsciiBlanks(*actionAttr) : Text();
  if (StartsWithNoCase(action, "javascript:")) return {};
  const Text url =
      WithoutFragment(action.empty() ? ResolveUrl(baseUrl, "") : ResolveUrl(baseUrl, action));

  // The successful controls of the form, in document order.
  std::vector<std::pair<Text, Text>> entries;
  for (size_t i = 0; i < elements_.size(); ++i) {
    const HtmlElement& e = elements_[i];
    if (e.form != formIndex || e.disabled || !IsFormControl(e.tag)) continue;
    const bool pressed = static_cast<int>(i) == submitter;
    const Text name = AttributeOrEmpty(e, "name");
    if (e.tag == "input") {
      const Text type = InputType(e);
      if (type == "image") {
        if (!pressed) continue;
        const Text prefix = name.empty() ? Text() : name + ".";
        entries.emplace_back(prefix + "x", "0");
        entries.emplace_back(prefix + "y", "0");
        continue;
      }
      if ((type == "submit" || type == "button" || type == "reset") && !pressed) continue;
      if (name.empty()) continue;
      if (type == "checkbox" || type == "radio") {
        if (!e.Attribute("checked")) continue;
        const Text* v = e.Attribute("value");
        entries.emplace_back(name, v ? *v : Text("on"));
      } else if (type == "file") {
        entries.emplace_back(name, "");
      } else {
        entries.emplace_back(name, AttributeOrEmpty(e, "value"));
      }
    } else if (e.tag == "button") {
      if (pressed && !name.empty()) entries.emplace_back(name, AttributeOrEmpty(e, "value"));
    } else if (e.tag == "textarea") {
      if (!name.empty()) entries.emplace_back(name, e.text);
    } else if (e.tag == "select") {
      if (name.empty()) continue;
      const int select = static_cast<int>(i);
      const HtmlElement* fallback = nullptr;
      bool any = false;
      for (const HtmlElement& o : elements_) {
        if (o.tag != "option" || o.select != select || o.disabled) continue;
        if (!fallback) fallback = &o;
        if (!o.Attribute("selected")) continue;
        entries.emplace_back(name, OptionValue(o));
        any = true;
      }
      // A drop-down list shows its first option when none is selected.
      if (!any && fallback && !e.Attribute("multiple")) {
        const Text* size = e.Attribute("size");
        if (!size || AtoiText(*size) <= 1) entries.emplace_back(name, OptionValue(*fallback));
      }
    }
  }
  Text data;
  for (const auto& [n, v] : entries) {
    if (!data.empty()) data += '&';
    data += BrowserFormEncode(NormalizeNewlines(n));
    data += '=';
    data += BrowserFormEncode(NormalizeNewlines(v));
  }

  PageAction a;
  a.kind = PageAction::Submit;
  if (method == "post") {
    a.post = true;
    a.url = url;
    a.body = std::move(data);
  } else {
    a.url = url.substr(0, url.find('?')) + "?" + data;
  }
  return a;
}

int ResponseStatus(std::string_view responseHeaders) {
  if (responseHeaders.substr(0, 5) != "HTTP/") return 0;
  const std::string_view line = responseHeaders.substr(0, responseHeaders.find("\r\n"));
  const size_t space = line.find(' ');
  if (space == std::string_view::npos) return 0;
  int status = 0, digits = 0;
  for (size_t i = space + 1; i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 3;
       ++i, ++digits)
    status = status * 10 + (line[i] - '0');
  return digits == 3 ? status : 0;
}

std::optional<PageRequest> RedirectRequest(const PageRequest& request,
                                           std::string_view responseHeaders) {
  const int status = ResponseStatus(responseHeaders);
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308)
    return std::nullopt;
  Text location;
  bool found = false;
  for (const Text& line : Split(responseHeaders, "\r\n"))
    if ((found = LocationFromLine(line, location))) break;
  if (!found || TrimAsciiBlanks(location).empty()) return std::nullopt;
  PageRequest next;
  next.url = WithoutFragment(ResolveUrl(request.url, location));
  if (!IsWebUrl(next.url)) return std::nullopt;
  if (status == 307 || status == 308) {
    next.post = request.post;
    next.body = request.body;
  }
  return next;
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

bool IsWebUrl(std::string_view url) {
  return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

}  // namespace qx
