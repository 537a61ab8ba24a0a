// Cutting a URL into host, port and object name, by text search alone: any
// text yields some host, port and path.
#pragma once

#include <string_view>

#include "web/text.h"

namespace qx {

// Lower-case host without scheme and path (and without port unless keepPort).
// rootDomain keeps only the last two labels.
Text UrlHost(std::string_view url, bool rootDomain = false, bool keepPort = false);
// The explicit port, else 443 for https and 80 otherwise.
int UrlPort(std::string_view url);
// Everything from the first "/" after the host (looked for behind "://"),
// query included, or "/".
Text UrlPath(std::string_view url);

// Percent-encodes bytes as a browser posts a form field: letters, digits and
// "-_.*" stay, a blank becomes "+", everything else %XX.
Text FormEncode(std::string_view bytes);

}  // namespace qx
