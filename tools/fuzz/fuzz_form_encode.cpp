// FormEncode: only the safe characters, and it decodes back to the bytes.
#include "tools/fuzz/fuzz_util.h"
#include "web/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string bytes = in.Rest();
  const qx::Text encoded = qx::FormEncode(bytes);
  FUZZ_CHECK(encoded.size() >= bytes.size() && encoded.size() <= 3 * bytes.size());
  for (char c : encoded)
    FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.' || c == '*' || c == '+' || c == '%');
  std::string back;
  FUZZ_CHECK(fuzz::FormDecode(encoded, back) && back == bytes);
  return 0;
}
