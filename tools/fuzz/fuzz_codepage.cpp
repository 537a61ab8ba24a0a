// The code-page conversions through the native seam: wide text always whole
// units, UTF-8 made by the seam reads back unchanged, wide text without lone
// surrogates goes through UTF-8 and back unchanged.
#include "base/codepage.h"
#include "tools/fuzz/fuzz_util.h"

namespace {
unsigned Unit(std::string_view w, size_t k) {
  return static_cast<unsigned char>(w[2 * k]) | static_cast<unsigned char>(w[2 * k + 1]) << 8;
}
bool HasLoneSurrogate(std::string_view w) {
  const size_t n = w.size() / 2;
  for (size_t k = 0; k < n; ++k) {
    const unsigned u = Unit(w, k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n && Unit(w, k + 1) >= 0xDC00 &&
        Unit(w, k + 1) <= 0xDFFF) {
      ++k;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      return true;
    }
  }
  return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string bytes = in.Rest();
  using namespace qx;

  const Bytes fromUtf8 = MultiByteToWide(kUtf8, bytes);
  const Bytes fromGbk = MultiByteToWide(kGbk, bytes);
  FUZZ_CHECK(fromUtf8.size() % 2 == 0 && fromGbk.size() % 2 == 0);
  const Bytes utf8 = WideToMultiByte(kUtf8, fromUtf8);
  FUZZ_CHECK(WideToMultiByte(kUtf8, MultiByteToWide(kUtf8, utf8)) == utf8);
  (void)WideToMultiByte(kGbk, fromGbk);

  const std::string_view wide(bytes.data(), bytes.size() & ~size_t{1});
  if (!HasLoneSurrogate(wide))
    FUZZ_CHECK(MultiByteToWide(kUtf8, WideToMultiByte(kUtf8, wide)) == wide);
  (void)WideToMultiByte(kGbk, wide);

  const Bytes w = TextToWide(bytes);
  FUZZ_CHECK(w.empty() || (w.size() % 2 == 0 && w.compare(w.size() - 2, 2, "\0\0", 2) == 0));
  FUZZ_CHECK(AnsiToWide(bytes).size() % 2 == 0);
  (void)WideToBytes(bytes, kGbk);
  (void)WideToText(bytes);
  (void)Utf8ToAnsi(bytes);
  (void)AnsiToUtf8(bytes);
  return 0;
}
