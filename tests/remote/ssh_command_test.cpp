// The SSH launch's command line, address split and password file content.
#include "remote/ssh_command.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include "base/codepage.h"
#endif

namespace qx {
namespace {

TEST(SshCommand, PlainAddressGivesTheCommandLineByteForByte) {
  const SshTarget t = SplitSshAddress("10.0.0.7:22");
  EXPECT_EQ(t.host, "10.0.0.7");
  EXPECT_EQ(t.port, "22");
  EXPECT_EQ(PuttyCommandLine("C:\\pw\\1.txt", t),
            "putty -ssh -l root -pwfile C:\\pw\\1.txt -P 22 10.0.0.7");
  EXPECT_EQ(PuttyCommandLine("", t), "putty -ssh -l root -P 22 10.0.0.7");

  // Host before the first ":", port after the last; none without a ":".
  const SshTarget many = SplitSshAddress("h:1:2:2222");
  EXPECT_EQ(many.host, "h");
  EXPECT_EQ(many.port, "2222");
  const SshTarget none = SplitSshAddress("10.0.0.7");
  EXPECT_EQ(none.host, "");
  EXPECT_EQ(none.port, "");
}

TEST(SshCommand, OptionLikeHostOrPortIsRefused) {
  EXPECT_FALSE(PuttyCommandLine("p", SplitSshAddress("-pw:22")));
  EXPECT_FALSE(PuttyCommandLine("p", SplitSshAddress("h:-L")));
  EXPECT_FALSE(PuttyCommandLine("p", SplitSshAddress("-proxycmd calc:x:22")));
  // A user name before "@" would override "-l root".
  EXPECT_FALSE(PuttyCommandLine("p", SplitSshAddress("admin@10.0.0.7:22")));
  EXPECT_FALSE(PuttyCommandLine("p", SplitSshAddress("10.0.0.7:2@2")));
  // A value with blanks stays one argument: it cannot add options either.
  EXPECT_EQ(PuttyCommandLine("p", SplitSshAddress("h -pw x:22 -L 1")),
            "putty -ssh -l root -pwfile p -P \"22 -L 1\" \"h -pw x\"");
}

TEST(SshCommand, QuotingFollowsTheWindowsRules) {
  EXPECT_EQ(QuoteArgument(""), "\"\"");
  EXPECT_EQ(QuoteArgument("C:\\a b\\"), "\"C:\\a b\\\\\"");
  EXPECT_EQ(QuoteArgument("a\\\"b"), "\"a\\\\\\\"b\"");
  EXPECT_EQ(QuoteArgument("C:\\no\\blank"), "C:\\no\\blank");

#ifdef _WIN32
  // What Windows itself reads back.
  const Text path = "C:\\Users\\王 五\\AppData\\Local\\qarvex\\ssh\\pw 1.txt";
  const Text values[] = {path, "a\"b c\\", "", "\\\\srv\\\"x\" \\", "\t"};
  for (const Text& v : values) {
    const Text line = "putty -pwfile " + QuoteArgument(v) + " -P " + QuoteArgument(v) + " h";
    const Bytes wide = TextToWide(line, kGbk);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(reinterpret_cast<const wchar_t*>(wide.data()), &argc);
    ASSERT_TRUE(argv);
    ASSERT_EQ(argc, 6) << line;
    auto back = [](const wchar_t* w) {
      return WideToText(std::string_view(reinterpret_cast<const char*>(w), wcslen(w) * 2));
    };
    EXPECT_EQ(back(argv[2]), v);
    EXPECT_EQ(back(argv[4]), v);
    EXPECT_EQ(back(argv[5]), "h");
    LocalFree(argv);
  }
#endif
}

TEST(SshCommand, PasswordFileHoldsTheUtf8PasswordAndItsNameTheWriter) {
  EXPECT_EQ(PasswordFileContent("a b\"中文 密码"), U8(u8"a b\"中文 密码"));
  EXPECT_EQ(PasswordFileContent(""), "");
  const FileWriter writer{4242, 133500000000000000ull};
  EXPECT_EQ(PasswordFileName(writer, 3), "pw-4242-133500000000000000-3.txt");
  EXPECT_EQ(PasswordFileWriter("pw-4242-133500000000000000-3.txt"), writer);
  for (const char* other : {"pw-4242-1-2-3.txt", "pw-4242-1.txt", "pw-12-x-1.txt", "pw--1-2.txt",
                            "pw-1-2-.txt", "pw-4294967296-1-2.txt", "pw-1-2-3.txt.bak"})
    EXPECT_FALSE(PasswordFileWriter(other)) << other;
}

}  // namespace
}  // namespace qx
