#include "remote/display_settings_win.h"

#include "base/config.h"
#include "base/os_win.h"

namespace qx {
namespace {

Text ReadText(const char* name) {
  Bytes bytes;
  ReadWholeFile(DataFile(name), bytes);
  return BytesToText(bytes);
}

}  // namespace

DisplaySettings ReadDisplaySettings() {
  return ParseDisplaySettings(ReadText("qp.ini"), ReadText("sz.ini"));
}

void WriteFullScreenSetting(bool fullScreen) {
  WriteWholeFile(DataFile("qp.ini"), fullScreen ? kQpFullScreen : kQpWindowed);
}

void WriteResolutionSetting(std::string_view width, std::string_view height) {
  WriteWholeFile(DataFile("sz.ini"), SzIniText(width, height));
}

}  // namespace qx
