// Cutting a URL into host, port and object name, by text search alone: any
// text yields some host, port and path.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

// Lower-case host without scheme and path (and without port unless keepPort).
// rootDomain keeps only the last two labels.
Text UrlHost(std::string_view url, bool rootDomain = false, bool keepPort = false);
// The explicit port, else 443 for https and 80 otherwise.
int UrlPort(std::string_view url);
// Everything from the first "/" after the host (looked for behind "://"),
// query included, or "/".
Text UrlPath(std::string_view url);

// Percent-encodes bytes as a browser posts a form field
// (application/x-www-form-urlencoded): letters, digits and "-_.*" stay, a
// blank becomes "+", everything else %XX.
Text BrowserFormEncode(std::string_view bytes);

// The portal's ticket encoding of a GBK text: its UTF-8 bytes, with letters,
// digits and "-._'()*" kept, a blank as "+", a NUL dropped and every other
// byte (also "!" and "~") as %XX in upper-case hex. Empty gives empty.
Text FormEncode(std::string_view text);

}  // namespace qx
