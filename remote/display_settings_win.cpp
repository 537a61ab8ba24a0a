#include "remote/display_settings_win.h"

#include "base/config.h"
#include "base/os_win.h"

namespace qx {
namespace {

Text ReadText(const char* name) {
  Bytes bytes;
  // A file that is missing or cannot be read reads as empty: the defaults.
  static_cast<void>(ReadWholeFile(DataFile(name), bytes));
  return BytesToText(bytes);
}

}  // namespace

DisplaySettings ReadDisplaySettings() {
  return ParseDisplaySettings(ReadText("qp.ini"), ReadText("sz.ini"));
}

bool WriteFullScreenSetting(bool fullScreen) {
  return WriteWholeFile(DataFile("qp.ini"), fullScreen ? kQpFullScreen : kQpWindowed);
}

bool WriteResolutionSetting(std::string_view width, std::string_view height) {
  return WriteWholeFile(DataFile("sz.ini"), SzIniText(width, height));
}

}  // namespace qx
