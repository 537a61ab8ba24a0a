// Configuration values with built-in defaults, overridable at run time by
// environment variables (tests and the demo point them at a loopback portal).
#pragma once

#include "base/text.h"
#include "base/version.h"

namespace qx {

constexpr int kOwnVersion = QARVEX_VERSION;  // compared for equality with the published one

Text PortalBaseUrl();  // QARVEX_PORTAL_URL
Text WebsiteUrl();     // QARVEX_WEBSITE_URL
Text NoticePageUrl();  // QARVEX_NOTICE_URL
Text ContactUrl();     // QARVEX_CONTACT_URL

// The folder of the program's files, with its final backslash.
// (A macro so that the files' full names below and elsewhere are literals too.)
#define QARVEX_DATA_DIR "C:\\qarvex\\"
inline constexpr const char* kDataDir = QARVEX_DATA_DIR;
// A file of that folder by its name ("config.ini").
inline Text DataFile(std::string_view name) { return Text(kDataDir).append(name); }

}  // namespace qx
