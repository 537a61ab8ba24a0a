// Hand-carried cookie texts: items "name=value" separated by "; ".
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

// The item's name: the text before its first "=", blanks trimmed.
Text CookieName(std::string_view item);
// Folds the cookies a response set into the ones that were sent: newer values
// replace older ones by name, deleted cookies are dropped, exact duplicates go.
// The result is also written back into `sent`.
Text MergeCookies(Text& sent, std::string_view received);

}  // namespace qx
