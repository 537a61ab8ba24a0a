#include "portal/version_check.h"

#include <gtest/gtest.h>

using namespace qx;

TEST(VersionCheck, NoticeCutsAndDecision) {
  // Values hold a shorter end ("</span>"): the whole end marker decides.
  Text page =
      "<p>最新版本：2 beta</span></strong><!--登录窗口><!-->请<span>先</span>登录</span></strong>"
      "<!--更新公告><!-->修复<span>问题</span>!</span></strong><a href=\"x\" target=\"_blank\">"
      "http://d/x.exe</a></span></strong><!--公告><!-->今日公告</span>";
  NoticeInfo n = ParseNoticePage(page);
  EXPECT_EQ(n.publishedVersion, "2 beta");
  EXPECT_EQ(n.loginNotice, "请<span>先</span>登录");
  EXPECT_EQ(n.announcement, "修复<span>问题</span>!");
  EXPECT_EQ(n.downloadLink, "http://d/x.exe");
  EXPECT_EQ(NoticeLine(page), "今日公告");

  VersionDecision d = DecideVersion(n, 1);
  EXPECT_TRUE(d.promptAndEnd);
  EXPECT_EQ(d.message, "发现新版本2 beta当前版本：1\r\n修复<span>问题</span>!是否更新");
  EXPECT_EQ(d.linkToOpen, "http://d/x.exe");
  // Only a web address is opened: a tampered page must not start a program.
  for (const char* link : {"HTTPS://d/x.exe", "file:///C:/x.exe", "\\\\host\\share\\x.exe",
                           "C:\\Windows\\x.exe", "calc", "http:/x", ""}) {
    n.downloadLink = link;
    const bool web = link[0] == 'H';
    EXPECT_EQ(DecideVersion(n, 1).linkToOpen, web ? link : "") << link;
  }
  for (const char* same : {"1", "01", "1.0", " 1"}) {
    n.publishedVersion = same;
    EXPECT_FALSE(DecideVersion(n, 1).promptAndEnd) << same;
  }
  for (const char* other : {"0", "2", "-1", "\xA3\xB2", " +3x"}) {
    n.publishedVersion = other;
    EXPECT_TRUE(DecideVersion(n, 1).promptAndEnd) << other;
  }
  // A page that is down or carries no version, or none that reads as a
  // number, lets the login go on.
  for (const char* none : {"", "abc", " -", "v2"}) {
    n.publishedVersion = none;
    EXPECT_FALSE(DecideVersion(n, 1).promptAndEnd) << none;
  }
  EXPECT_FALSE(DecideVersion(ParseNoticePage(""), 1).promptAndEnd);
}
