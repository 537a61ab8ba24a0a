// The Remote Desktop display settings: full screen in qp.ini, the resolution
// in sz.ini, both raw GBK texts in the data folder, read whole and cut by
// markers. The texts and the rules here; the file reads and writes in
// display_settings_win.cpp.
#pragma once

#include <string_view>

#include "base/text.h"

namespace qx {

struct DisplaySettings {
  Text fullScreenMode;  // "1" windowed, "2" full screen; empty when qp.ini says nothing
  Text desktopWidth;    // as typed into the resolution window, unchecked
  Text desktopHeight;
};

inline constexpr std::string_view kQpWindowed = "全屏：1真";
inline constexpr std::string_view kQpFullScreen = "全屏：2真";

// The two files' contents (empty when missing) → the settings.
DisplaySettings ParseDisplaySettings(std::string_view qpIni, std::string_view szIni);
// The sz.ini text for a width and a height.
Text SzIniText(std::string_view width, std::string_view height);

// What the resolution window shows when it opens, and whether qp.ini is to be
// written windowed again (anything but full screen is rewritten).
struct ResolutionWindowStart {
  Text stateText;  // "已开启全屏" or "未开启全屏"
  bool rewriteWindowed;
  Text width, height;  // 1280 × 720 offered when no width is stored
};
ResolutionWindowStart ResolutionWindowOpening(const DisplaySettings& settings);
inline constexpr std::string_view kFullScreenOnText = "已开启全屏";

}  // namespace qx
