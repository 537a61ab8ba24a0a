// The display settings files (qp.ini, sz.ini) and the resolution window's
// opening state. Literals are GBK, as the program's texts are.
#include "remote/display_settings.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(DisplaySettingsFiles, TextsAndTheirReading) {
  EXPECT_EQ(kQpWindowed, "全屏：1真");
  EXPECT_EQ(kQpWindowed.size(), 9u);
  EXPECT_EQ(SzIniText("1600", "900"), "长：1600\r\n宽：900sz");
  DisplaySettings s = ParseDisplaySettings(kQpFullScreen, SzIniText("1600", "900"));
  EXPECT_EQ(s.fullScreenMode, "2");
  EXPECT_EQ(s.desktopWidth, "1600");
  EXPECT_EQ(s.desktopHeight, "900");
  s = ParseDisplaySettings("", SzIniText("", "900"));
  EXPECT_EQ(s.fullScreenMode, "");
  EXPECT_EQ(s.desktopWidth, "");
  EXPECT_EQ(s.desktopHeight, "900");

  // Opening the window: full screen shown only for "2"; else rewritten.
  ResolutionWindowStart w = ResolutionWindowOpening(s);
  EXPECT_EQ(w.stateText, "未开启全屏");
  EXPECT_TRUE(w.rewriteWindowed);
  EXPECT_EQ(w.width, "1280");
  EXPECT_EQ(w.height, "720");
  w = ResolutionWindowOpening(ParseDisplaySettings(kQpFullScreen, SzIniText("1600", "")));
  EXPECT_EQ(w.stateText, "已开启全屏");
  EXPECT_FALSE(w.rewriteWindowed);
  EXPECT_EQ(w.width, "1600");
  EXPECT_EQ(w.height, "");
  EXPECT_TRUE(ResolutionWindowOpening(ParseDisplaySettings("全屏：22真", "")).rewriteWindowed);
}

}  // namespace
}  // namespace qx
