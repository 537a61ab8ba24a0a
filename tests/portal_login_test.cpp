#include <gtest/gtest.h>

#include "portal/credentials.h"
#include "portal/login.h"
#include "portal/version_check.h"
#include "tests/test_util.h"

using namespace qx;

TEST(Credentials, FileBytesAndReadBack) {
  Text file = CredentialsFileText("张三", "pw");
  EXPECT_EQ(file, "[账户密码]\r\nuser=张三\r\npass=pwpass");
  Credentials c = ParseCredentialsFile(file);
  EXPECT_EQ(c.user, "张三");
  EXPECT_EQ(c.password, "pw");
  // Empty boxes still give a complete file.
  EXPECT_EQ(CredentialsFileText("", ""), "[账户密码]\r\nuser=\r\npass=pass");
  c = ParseCredentialsFile(CredentialsFileText("", ""));
  EXPECT_EQ(c.user, "");
  EXPECT_EQ(c.password, "");
}

TEST(Credentials, PasswordsHoldingPassOrMarkersReadBackWhole) {
  for (const char* pw : {"mypassword", "pass", "passpass", "a&b=c%d+e pass1", "x pass= y"}) {
    Credentials c = ParseCredentialsFile(CredentialsFileText("u", pw));
    EXPECT_EQ(c.password, pw);
  }
  // A user name holding "pass=" is not taken for the password line.
  Credentials c = ParseCredentialsFile(CredentialsFileText("bypass=1", "secret"));
  EXPECT_EQ(c.user, "bypass=1");
  EXPECT_EQ(c.password, "secret");
}

TEST(Credentials, MissingOrDamagedFile) {
  Credentials c = ParseCredentialsFile("");
  EXPECT_EQ(c.user, "");
  EXPECT_EQ(c.password, "");
  // No final "pass": the password runs to the next "pass", as files always read.
  c = ParseCredentialsFile("[账户密码]\r\nuser=u\r\npass=abcpassxyz");
  EXPECT_EQ(c.password, "abc");
  c = ParseCredentialsFile("[账户密码]\r\nuser=u\r\npass=abc");
  EXPECT_EQ(c.password, "");
  // Bare line feeds (edited by hand): the password line is still found.
  c = ParseCredentialsFile("[账户密码]\nuser=u\npass=abcpass");
  EXPECT_EQ(c.password, "abc");
}

TEST(LoginRules, BodyEncodesValuesAsTheUtf8FormPosts) {
  EXPECT_EQ(LoginBody("demo", "a&b=c%d+e f"),
            "redirectURL=&username=demo&password=a%26b%3Dc%25d%2Be+f&captcha=&saveNull=0"
            "&customerServiceID=");
  // The boxes' own text: a character outside GBK is posted, not "?".
  EXPECT_EQ(LoginBody(U8(u8"张"), U8(u8"\U0001F600")),
            "redirectURL=&username=%E5%BC%A0&password=%F0%9F%98%80&captcha=&saveNull=0"
            "&customerServiceID=");
}

TEST(LoginRules, VerdictMustBeExactlyTheSuccessText) {
  EXPECT_TRUE(
      LoginSucceeded("{\"result\":true,\"text\":\"登录成功\",\"time\":1,\"url\":\"/user\"}"));
  EXPECT_FALSE(LoginSucceeded("{\"result\":true,\"text\":\" 登录成功\",\"time\":1,\"url\":\"\"}"));
  EXPECT_FALSE(LoginSucceeded("{\"result\":false,\"text\":\"登录成功\",\"time\":1,\"url\":\"\"}"));
  EXPECT_FALSE(LoginSucceeded(""));
}

TEST(LoginRules, ProbeAndHint) {
  ProbeResult p = ParseProbePage("<!--user!--><h3>张三</h3>...<!--登录1状态!-->");
  EXPECT_TRUE(p.live());
  EXPECT_EQ(p.memberName, "张三");
  EXPECT_FALSE(ParseProbePage("<!--登录0状态!-->").live());
  EXPECT_FALSE(ParseProbePage("<html>login page</html>").live());
  EXPECT_FALSE(ProbeResult{}.live()) << "no probe, no session";
  EXPECT_TRUE(ParseProbePage("<!--登录１状态!-->").live());  // full-width digit
  EXPECT_EQ(OneClickHint(""), "点击下方\"一键登录\"按钮即可一键登录账户！");
  EXPECT_EQ(OneClickHint("张三"), "点击下方\"一键登录\"按钮即可一键登录张三账户！");
}

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
  for (const char* other : {"0", "2", "-1", "abc"}) {
    n.publishedVersion = other;
    EXPECT_TRUE(DecideVersion(n, 1).promptAndEnd) << other;
  }
  // A page that is down or carries no version lets the login go on.
  EXPECT_FALSE(DecideVersion(ParseNoticePage(""), 1).promptAndEnd);
}

TEST(LoginFailureText, ALongReplyIsShownUpToItsLimitWithoutHalfACharacter) {
  EXPECT_EQ(LoginFailureText("{\"result\":false}"), "{\"result\":false}");
  std::string reply = "x";
  while (reply.size() < 3 * kLoginBoxTextMax) reply += "中";
  const Text shown = LoginFailureText(reply);
  EXPECT_EQ(shown.size(), kLoginBoxTextMax - 1);  // "x" and whole characters
  EXPECT_EQ(shown, reply.substr(0, shown.size()));
}
