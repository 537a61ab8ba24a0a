#include "web/codepage.h"

namespace qx {

Bytes TextToWide(std::string_view text, unsigned codePage) {
  auto nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.empty()) return {};
  Bytes wide = MultiByteToWide(codePage, text);
  wide.append(2, '\0');
  return wide;
}

Bytes WideToBytes(std::string_view wide, unsigned codePage) {
  size_t units = wide.size() / 2, n = 0;
  while (n < units && (wide[2 * n] != '\0' || wide[2 * n + 1] != '\0')) ++n;
  if (n == 0) return {};
  Bytes out = WideToMultiByte(codePage, wide.substr(0, 2 * n));
  auto nul = out.find('\0');
  if (nul != Bytes::npos) out.resize(nul);
  return out;
}

Text Utf8ToAnsi(std::string_view text) { return WideToText(TextToWide(text, kUtf8), kGbk); }

Bytes AnsiToUtf8(std::string_view text) { return WideToBytes(AnsiToWide(text), kUtf8); }

}  // namespace qx
