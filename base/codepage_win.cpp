// The code-page seam on Windows.
#include <windows.h>

#include "base/codepage.h"

namespace qx {
namespace {
UINT Resolve(unsigned codePage) { return codePage == 0 ? kGbk : codePage; }
}  // namespace

Bytes MultiByteToWide(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  const UINT cp = Resolve(codePage);
  const int len = static_cast<int>(bytes.size());
  int n = MultiByteToWideChar(cp, 0, bytes.data(), len, nullptr, 0);
  if (n <= 0) return {};
  Bytes wide(static_cast<size_t>(n) * 2, '\0');
  MultiByteToWideChar(cp, 0, bytes.data(), len, reinterpret_cast<wchar_t*>(wide.data()), n);
  return wide;
}

Bytes WideToMultiByte(unsigned codePage, std::string_view wide) {
  if (wide.size() < 2) return {};
  const UINT cp = Resolve(codePage);
  const auto* w = reinterpret_cast<const wchar_t*>(wide.data());
  const int len = static_cast<int>(wide.size() / 2);
  int n = WideCharToMultiByte(cp, 0, w, len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  Bytes out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, w, len, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace qx
