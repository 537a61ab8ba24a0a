#include "portal/login.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

using namespace qx;

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

TEST(LoginFailureText, ALongReplyIsShownUpToItsLimitWithoutHalfACharacter) {
  EXPECT_EQ(LoginFailureText("{\"result\":false}"), "{\"result\":false}");
  std::string reply = "x";
  while (reply.size() < 3 * kLoginBoxTextMax) reply += "中";
  const Text shown = LoginFailureText(reply);
  EXPECT_EQ(shown.size(), kLoginBoxTextMax - 1);  // "x" and whole characters
  EXPECT_EQ(shown, reply.substr(0, shown.size()));
  EXPECT_EQ(LoginFailureText(reply.substr(1)).size(), kLoginBoxTextMax)
      << "from a double-byte start";
  // No reply at all says why; a reply is shown whatever else went wrong.
  EXPECT_EQ(LoginFailureText("", RequestFailure::Refused),
            "无法连接服务器：连接被拒绝或中断，请稍后重试");
  EXPECT_EQ(LoginFailureText("x", RequestFailure::NoAnswer), "x");
  EXPECT_EQ(LoginFailureText(""), "");
}
