#include "remote/display_settings.h"

namespace qx {

DisplaySettings ParseDisplaySettings(std::string_view qpIni, std::string_view szIni) {
  DisplaySettings s;
  s.fullScreenMode = TextBetween(qpIni, "全屏：", "真");
  s.desktopWidth = TextBetween(szIni, "长：", "\r\n宽：");
  s.desktopHeight = TextBetween(szIni, "宽：", "sz");
  return s;
}

Text SzIniText(std::string_view width, std::string_view height) {
  Text t = "长：";
  t += width;
  t += "\r\n宽：";
  t += height;
  t += "sz";
  return t;
}

ResolutionWindowStart ResolutionWindowOpening(const DisplaySettings& settings) {
  ResolutionWindowStart start;
  const bool full = settings.fullScreenMode == "2";
  start.stateText = full ? Text(kFullScreenOnText) : Text("未开启全屏");
  start.rewriteWindowed = !full;
  if (settings.desktopWidth.empty()) {
    start.width = "1280";
    start.height = "720";
  } else {
    start.width = settings.desktopWidth;
    start.height = settings.desktopHeight;
  }
  return start;
}

}  // namespace qx
