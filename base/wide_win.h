// GBK text ↔ UTF-16 for the W calls of the Windows API, always through code
// page 936: the process's ANSI code page never decides.
#pragma once

#include <string>
#include <string_view>

#include "base/codepage.h"

namespace qx {

inline std::wstring Wide(std::string_view gbk) {
  const Bytes w = MultiByteToWide(kGbk, gbk);
  return std::wstring(reinterpret_cast<const wchar_t*>(w.data()), w.size() / 2);
}

inline Text Narrow(std::wstring_view wide) {
  return WideToMultiByte(
      kGbk, std::string_view(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
}

}  // namespace qx
