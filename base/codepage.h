// Code-page conversion. Texts are GBK; wide text is UTF-16LE in a byte array.
// The conversions themselves are the one platform seam of the portable code:
// MultiByteToWideChar/WideCharToMultiByte on Windows, iconv elsewhere.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

constexpr unsigned kUtf8 = 65001;
constexpr unsigned kGbk = 936;

// The seam. Code page 0 means GBK here: the program's texts are GBK whatever
// the system's ANSI code page is. Unmappable characters become the target
// code page's default character; nothing reports an error.
Bytes MultiByteToWide(unsigned codePage, std::string_view bytes);  // no terminator
Bytes WideToMultiByte(unsigned codePage, std::string_view wide);   // no terminator

// The text (up to its first NUL) as wide bytes ending in the 2-byte NUL; empty
// text gives empty bytes.
Bytes TextToWide(std::string_view text, unsigned codePage = kUtf8);
inline Bytes AnsiToWide(std::string_view text) { return TextToWide(text, kGbk); }
// Wide bytes (up to their first NUL unit) in the code page, without terminator.
Bytes WideToBytes(std::string_view wide, unsigned codePage);
inline Text WideToText(std::string_view wide, unsigned codePage = kGbk) {
  return WideToBytes(wide, codePage);
}
// A UTF-8 page taken as text, in GBK: one pass through a table built once
// from the platform's code page 936; malformed UTF-8 goes the platform's way.
Text Utf8ToAnsi(std::string_view text);
// The same through the platform's two conversions (UTF-8 → UTF-16 → GBK).
Text Utf8ToAnsiByPlatform(std::string_view text);
// The UTF-8 bytes of a GBK text.
Bytes AnsiToUtf8(std::string_view text);

}  // namespace qx
