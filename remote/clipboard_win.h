// Putting a text on the Windows clipboard.
#pragma once

#include <windows.h>

#include <string_view>

namespace qx {

// Replaces the clipboard's content with the GBK text: its bytes with a NUL as
// CF_TEXT, as the program always did, and the same text as CF_UNICODETEXT, so
// that a paste is right whatever the system's code page. A secret (a
// password) is also marked to stay out of clipboard history and cloud sync.
// A clipboard that another program holds is tried again for about 100 ms;
// false when it could not be opened or filled.
[[nodiscard]] bool CopyTextToClipboard(HWND owner, std::string_view text, bool secret);

}  // namespace qx
