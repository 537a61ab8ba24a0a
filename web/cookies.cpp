#include "web/cookies.h"

#include <algorithm>

namespace qx {

Text CookieName(std::string_view item) {
  long eq = FindText(item, "=");
  return Trim(eq < 0 ? item : item.substr(0, static_cast<size_t>(eq - 1)));
}

namespace {
Text Prepare(std::string_view text) {
  Text t = Trim(text);
  if (!t.empty() && t.back() == ';') t += ' ';
  return t;
}
bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}
}  // namespace

Text MergeCookies(Text& sent, std::string_view received) {
  std::vector<Text> combined = Split(Prepare(received), "; ");
  std::vector<Text> names;
  names.reserve(combined.size());
  for (const Text& item : combined) names.push_back(CookieName(item));
  for (Text& old : Split(Prepare(sent), "; ")) {
    Text name = CookieName(old);
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    names.push_back(std::move(name));
    combined.push_back(std::move(old));
  }
  // Deleted cookies are left out; each remaining item is kept the first time
  // it occurs.
  std::vector<Text> kept;
  for (Text& item : combined) {
    if (EndsWith(item, "=deleted")) continue;
    if (std::find(kept.begin(), kept.end(), item) == kept.end()) kept.push_back(std::move(item));
  }
  sent = Join(kept, "; ");
  return sent;
}

}  // namespace qx
