// Text helpers. A text is a GBK (code page 936) byte string; positions are
// 1-based byte positions and "not found" is -1. Marker searches step over a
// lead byte (0x81 to 0xFE) together with the byte after it, so a marker never
// matches at the second byte of a double-byte character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx {

using Text = std::string;   // GBK bytes
using Bytes = std::string;  // counted raw bytes (bodies, UTF-16LE wide text)

// True when byte c starts a GBK double-byte character. In code page 936
// 0x80 is a character of its own (the euro sign) and 0xFF never leads.
inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Position (1-based) of the first occurrence of marker at or after position
// `from` (0 and 1 both mean the first byte); -1 when absent or marker empty.
// `from` must be a character boundary (positions returned by these routines are).
long FindText(std::string_view text, std::string_view marker, long from = 1,
              bool ignoreCase = false);
// Position of the last occurrence lying wholly within the first `limit` bytes
// (limit < 0: the whole text); -1 when absent.
long FindLastText(std::string_view text, std::string_view marker, long limit = -1,
                  bool ignoreCase = false);

// The text between the first start marker found from startPos and the first
// end marker after it; "#引号" in either marker stands for a double quote.
Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 long startPos = 0, bool ignoreCase = false);
// Same cut without the "#引号" rewrite and with the end position reported, so a
// caller walking a large page moves on without copying what is left.
// Returns false when either marker is missing. `pos` is 1-based.
bool CutBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                long& pos, std::string_view& piece, bool ignoreCase = false);

// Text in front of the first occurrence (startPos 0 or n >= 1: first at or
// after n; -1: last; -n: last within the first length-n bytes).
Text TextBefore(std::string_view text, std::string_view marker, long startPos = 0,
                bool ignoreCase = false);
// Text behind the last occurrence (startPos 0: last; n >= 1: last within the
// first length-n bytes; -1: first; -n: first at or after position n).
Text TextAfter(std::string_view text, std::string_view marker, long startPos = 0,
               bool ignoreCase = false);

// Value of the first header line that starts with `name` (case-sensitive);
// no further line is tried.
Text HeaderValue(std::string_view headers, std::string_view name);

// Blanks are the ASCII space and the full-width space A1 A1; CR, LF, TAB are not.
Text Trim(std::string_view text);
Text TrimLeft(std::string_view text);
Text TrimRight(std::string_view text);

// Pieces in order, empty pieces between adjacent separators kept; a separator
// at the very end gives no empty last piece; an empty text gives no pieces.
std::vector<Text> Split(std::string_view text, std::string_view separator);
Text Join(const std::vector<Text>& pieces, std::string_view separator);

// ASCII case change that leaves the second byte of double-byte characters alone.
Text ToLowerAscii(std::string_view text);
Text ToUpperAscii(std::string_view text);

// Bytes that are not GBK text (UTF-8 pages, URLs, header names): every byte
// stands alone, so a byte above 0x80 never takes the one after it along.
inline char LowerAsciiByte(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
inline char UpperAsciiByte(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
Text LowerAsciiBytes(std::string_view bytes);
// True when `bytes` begins with `lowerPrefix` (lower-case ASCII), case ignored.
bool StartsWithNoCase(std::string_view bytes, std::string_view lowerPrefix);
// Byte index of `lowerNeedle` (lower-case ASCII) in `bytes` at or after
// `from`, case ignored; npos when absent.
size_t FindNoCase(std::string_view bytes, std::string_view lowerNeedle, size_t from = 0);
// ASCII whitespace as HTML and HTTP read it: space, tab, LF, FF and CR.
inline bool IsAsciiBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
Text TrimAsciiBlanks(std::string_view bytes);

// Two upper-case hexadecimal digits for the byte, appended.
void AppendHexByte(Text& out, unsigned char byte);
// Bytes as upper-case hexadecimal, two digits each.
Text HexUpper(std::string_view bytes);

// Every occurrence of `from` replaced by `to` (GBK-safe search; with
// ignoreCase, ASCII letters fold as FindText folds them).
Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                bool ignoreCase = false);

// Leading integer as a user would read it: optional blanks and sign, then
// decimal digits, ASCII or full-width (A3 B0..A3 B9); no digits give 0.
long long TextToInt(std::string_view text);
// Whether TextToInt finds a number there: a digit after the blanks and sign.
bool ReadsAsNumber(std::string_view text);
// The C library's atoi: blanks and sign, ASCII digits only.
long long AtoiText(std::string_view text);

// The bytes up to the first NUL, as a text (a page body taken as text).
inline Text BytesToText(std::string_view bytes) {
  auto n = bytes.find('\0');
  return Text(n == std::string_view::npos ? bytes : bytes.substr(0, n));
}

}  // namespace qx
