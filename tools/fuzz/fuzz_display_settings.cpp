// qp.ini and sz.ini as the data folder holds them, and what the resolution
// window opens with. Input: qp.ini, then sz.ini.
#include "remote/display_settings.h"
#include "tools/fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const std::string qp = in.Piece();
  const std::string sz = in.Rest();
  const qx::DisplaySettings s = qx::ParseDisplaySettings(qp, sz);
  FUZZ_CHECK(qp.find(s.fullScreenMode) != std::string::npos);
  FUZZ_CHECK(sz.find(s.desktopWidth) != std::string::npos);
  FUZZ_CHECK(sz.find(s.desktopHeight) != std::string::npos);
  const qx::ResolutionWindowStart start = qx::ResolutionWindowOpening(s);
  FUZZ_CHECK(start.rewriteWindowed == (s.fullScreenMode != "2"));
  // What the window writes back reads the same.
  if (s.desktopWidth.find('\0') == std::string::npos) {
    const qx::DisplaySettings again =
        qx::ParseDisplaySettings(qp, qx::SzIniText(start.width, start.height));
    FUZZ_CHECK(again.desktopWidth == start.width || start.width.empty());
  }
  return 0;
}
