#include "web/form_engine.h"

#include <algorithm>

namespace qx {
namespace {

Text InputType(const HtmlElement& e) {
  const Text* t = e.Attribute("type");
  return t ? LowerAsciiBytes(*t) : Text("text");
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

}  // namespace

HtmlPage HtmlPage::Parse(std::string_view utf8Html) {
  HtmlPage page;
  page.elements_ = ParseHtmlElements(utf8Html);
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
      taken = taken || e.AttributeOrEmpty(name) == locator;
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
        taken = taken || e.AttributeOrEmpty(name) == locator;
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
    const Text type = LowerAsciiBytes(e.AttributeOrEmpty("type"));
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
  const Text method = methodAttr ? LowerAsciiBytes(TrimAsciiBlanks(*methodAttr)) : Text("get");
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
    const Text name = e.AttributeOrEmpty("name");
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
        entries.emplace_back(name, e.AttributeOrEmpty("value"));
      }
    } else if (e.tag == "button") {
      if (pressed && !name.empty()) entries.emplace_back(name, e.AttributeOrEmpty("value"));
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

}  // namespace qx
