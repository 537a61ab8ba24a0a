// Configuration values with built-in defaults, overridable at run time by
// environment variables (tests and the demo point them at a loopback portal).
#pragma once

#include "app/version.h"
#include "web/text.h"

namespace qx {

constexpr int kOwnVersion = QARVEX_VERSION;  // compared for equality with the published one

Text PortalBaseUrl();  // QARVEX_PORTAL_URL
Text WebsiteUrl();     // QARVEX_WEBSITE_URL
Text NoticePageUrl();  // QARVEX_NOTICE_URL
Text ContactUrl();     // QARVEX_CONTACT_URL

// The folder of the program's files, with its final backslash.
inline constexpr const char* kDataDir = "C:\\qarvex\\";

}  // namespace qx
