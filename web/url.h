// URLs: resolving a reference as a browser does, the http and https checks,
// cutting a URL into host, port and object name (by text search alone: any
// text yields some host, port and path) and the percent encodings.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

// True for an http or https URL ("http://" or "https://" in any case): the
// only URLs the program opens, follows or requests from a link it was given.
bool IsWebUrl(std::string_view url);
// True for an https URL ("https://" in any case).
bool IsHttpsUrl(std::string_view url);

// `reference` resolved against the absolute URL `base` as a browser does
// (RFC 3986, with blanks around it and tabs and line breaks in it dropped and
// "\" read as "/" for http and https); a reference with its own scheme stands
// alone. Bytes a URL cannot carry (controls, blanks, non-ASCII, quotes, angle
// brackets) come out percent-encoded.
Text ResolveUrl(std::string_view base, std::string_view reference);
// The URL without its fragment ("#" and what follows).
Text WithoutFragment(std::string_view url);

// Lower-case host without scheme and path (and without port unless keepPort).
// rootDomain keeps only the last two labels.
Text UrlHost(std::string_view url, bool rootDomain = false, bool keepPort = false);
// The explicit port, else 443 for https and 80 otherwise.
int UrlPort(std::string_view url);
// Whether two URLs lead to the same origin as the request routines connect:
// the same scheme (https or not), UrlHost and UrlPort.
bool SameOrigin(std::string_view a, std::string_view b);
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
