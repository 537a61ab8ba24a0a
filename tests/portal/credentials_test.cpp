#include "portal/credentials.h"

#include <gtest/gtest.h>

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
