// The display settings files in the data folder.
#pragma once

#include <string_view>

#include "remote/display_settings.h"

namespace qx {

// Both files read whole; a missing file reads as empty.
DisplaySettings ReadDisplaySettings();
// qp.ini: "全屏：2真" for full screen, else "全屏：1真". False when the file
// could not be written (the old one stays).
[[nodiscard]] bool WriteFullScreenSetting(bool fullScreen);
// sz.ini from the two texts as typed; false as above.
[[nodiscard]] bool WriteResolutionSetting(std::string_view width, std::string_view height);

}  // namespace qx
