// Remote Desktop connection files: the fixed template, filling it, and the
// file name. Portable; protecting the password and opening the file are in
// rdp_win.cpp.
#pragma once

#include <optional>
#include <string_view>

#include "base/text.h"
#include "remote/display_settings.h"

namespace qx {

// The connection-file template: 26 lines joined by CR LF, no line break at
// the end, with the placeholders quanping, 1024, 768, ipAddr, Username and
// Password standing once each.
std::string_view RdpTemplate();

// A value from the list as it may stand in one line of the file: every
// control character (bytes below 32, and 127) removed, so a value cannot
// start a line of its own.
Text RdpLineValue(std::string_view value);

// The template filled: address, account and the protected password (already
// the hexadecimal blob, or empty). With display settings, lines 1 to 3 take
// them (empty ones: windowed, and 1280 × 720 when no width is stored);
// without, the file is windowed at the template's 1024 × 768. Values inserted
// are never searched for later placeholders.
Text BuildRdpText(std::string_view address, std::string_view account,
                  std::string_view protectedPassword,
                  const std::optional<DisplaySettings>& settings);

// The file name (without folder) for a business identifier: the identifier
// and ".rdp", each character a file name cannot carry (control characters,
// \ / : * ? " < > |) replaced with "_", trailing dots and blanks trimmed,
// "rdp" when nothing is left, and a device name (CON, NUL, COM1...) kept
// off with a leading "_". An ordinary identifier is unchanged.
Text RdpFileName(std::string_view businessId);
// The name of a connection file (连接) when the names before it are taken by
// files of the user's (a 生成快捷远程 shortcut): 0 is RdpFileName, 1 adds
// "~连接" to its stem, 2 and on "~连接2", "~连接3"...
Text RdpConnectionFileName(std::string_view businessId, unsigned n);

}  // namespace qx
