// FormEncode: GBK text in, only the safe characters out, and it decodes back
// to the text's UTF-8 (without NULs, which a form value cannot carry).
#include <algorithm>

#include "base/codepage.h"
#include "tools/fuzz/fuzz_util.h"
#include "web/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string text = in.Rest();
  const qx::Text encoded = qx::FormEncode(text);
  // A GBK byte becomes at most three UTF-8 bytes, each at most "%XX".
  FUZZ_CHECK(encoded.size() <= 9 * text.size());
  for (char c : encoded)
    FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.' || c == '*' || c == '\'' || c == '(' || c == ')' ||
               c == '+' || c == '%');
  std::string utf8 = qx::WideToMultiByte(qx::kUtf8, qx::MultiByteToWide(qx::kGbk, text));
  utf8.erase(std::remove(utf8.begin(), utf8.end(), '\0'), utf8.end());
  std::string back;
  FUZZ_CHECK(fuzz::FormDecode(encoded, back) && back == utf8);
  return 0;
}
