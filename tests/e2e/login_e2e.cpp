// The login window, driven as a user would, against the demo portal.
#include <gtest/gtest.h>

#include <cwctype>

#include "app/commands.h"
#include "tests/e2e/driver.h"

using namespace e2e;
using namespace qx;  // control ids

namespace {

const std::wstring kConfig = L"C:\\qarvex\\config.ini";
const wchar_t kPins[] = L"Software\\QARVEX\\CertificatePins";

// The demo portal fixture's folder (the Unix path; its files are read
// through drive Z:) and a file of it without its line end.
std::string FixtureDir() {
  wchar_t file[MAX_PATH] = {};
  GetEnvironmentVariableW(L"QARVEX_DEMO_PORT_FILE", file, MAX_PATH);
  std::string dir = WideToUtf8(file).substr(2);  // "Z:"
  return dir.substr(0, dir.find_last_of('/'));
}
std::string FixtureFile(const std::string& name) {
  std::string text = ReadFileBytes(Utf8ToWide("Z:" + FixtureDir() + "/" + name));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string StoredPin(const std::string& hostPort) {
  wchar_t value[128] = {};
  DWORD size = sizeof value;
  RegGetValueW(HKEY_CURRENT_USER, kPins, Utf8ToWide(hostPort).c_str(), RRF_RT_REG_SZ, nullptr,
               value, &size);
  return WideToUtf8(value);
}

// A box's text as hex digits alone (fingerprints are shown grouped).
std::string HexOf(const std::wstring& text) {
  std::string hex;
  for (wchar_t c : text)
    if (iswxdigit(c)) hex += static_cast<char>(towlower(c));
  return hex;
}

std::string ConfigBytes(const std::wstring& user, const std::wstring& password) {
  return WideToGbk(L"[账户密码]\r\nuser=" + user + L"\r\npass=" + password + L"pass");
}

class LoginTest : public PortalTest {
 protected:
  // Starts the program and waits for its login window.
  HWND StartAtLogin(std::unique_ptr<Program>& program) {
    program = std::make_unique<Program>(portal);
    HWND login = program->WaitLoginReady();
    if (!login) ADD_FAILURE() << "no login window: " << program->DescribeWindows();
    return login;
  }
  // Types the account into the boxes and presses 登录.
  void LogIn(HWND login, const std::wstring& user, const std::wstring& password) {
    TypeText(GetDlgItem(login, IdLoginUser), user);
    TypeText(GetDlgItem(login, IdLoginPassword), password);
    Click(GetDlgItem(login, IdLoginButton));
  }
};

TEST_F(LoginTest, SavedCredentialsFilledAndNoticeShownWithoutSession) {
  CreateDirectoryW(L"C:\\qarvex", nullptr);
  HANDLE f = CreateFileW(kConfig.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::string bytes = ConfigBytes(L"张三", L"pw1");
  DWORD n;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);

  std::unique_ptr<Program> program;
  HWND login = StartAtLogin(program);
  ASSERT_TRUE(login);
  EXPECT_EQ(Text(GetDlgItem(login, IdLoginUser)), L"张三");
  EXPECT_EQ(Text(GetDlgItem(login, IdLoginPassword)), L"pw1");
  EXPECT_EQ(Text(GetDlgItem(login, IdLoginStatus)), L"欢迎使用QARVEX挂机宝管理终端，请先登录");
  EXPECT_FALSE(Enabled(GetDlgItem(login, IdOneClickButton)));
  EXPECT_EQ(Text(login), L"QARVEX挂机宝管理终端");
  // The probe asked the portal with the plain GET's own agent.
  auto probes = portal.LogLines("//user");
  ASSERT_FALSE(probes.empty());
  EXPECT_NE(probes[0].find("MSIE 6.0; Windows NT 5.0"), std::string::npos);
}

TEST_F(LoginTest, FolderOfAnotherAccountIsRefusedOnceAndNeitherReadNorWritten) {
  // A saved account in a C:\qarvex\ taken for another account's: Wine gives
  // every file its user as owner, so QARVEX_DATA_DIR_OWNER stands in for one.
  CreateDirectoryW(L"C:\\qarvex", nullptr);
  const std::string saved = ConfigBytes(L"张三", L"pw1");
  HANDLE f = CreateFileW(kConfig.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n;
  WriteFile(f, saved.data(), static_cast<DWORD>(saved.size()), &n, nullptr);
  CloseHandle(f);
  wchar_t local[MAX_PATH] = {};
  GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  const std::wstring privatePutty = std::wstring(local) + L"\\qarvex\\putty.exe";
  DeleteFileW(privatePutty.c_str());

  Program program(portal, {L"QARVEX_DATA_DIR_OWNER=S-1-5-21-1-2-3-1001"});
  HWND box = program.WaitMessageBox();
  ASSERT_TRUE(box) << program.DescribeWindows();
  EXPECT_EQ(Text(box), L"系统提示：");
  EXPECT_NE(MessageBoxText(box).find(L"C:\\qarvex\\ 属于其他账户"), std::wstring::npos);
  PressDialogButton(box, IDOK);
  HWND login = program.WaitLoginReady();
  ASSERT_TRUE(login) << program.DescribeWindows();
  EXPECT_EQ(Text(GetDlgItem(login, IdLoginPassword)), L"");  // its password is not read
  LogInAsDemo(login);
  ASSERT_TRUE(program.WaitWindowClass(kMainClass));
  // The main window has written qp.ini (the login window goes then) and putty.exe,
  // which goes to the private folder instead.
  EXPECT_TRUE(WaitFor([&] { return !program.FindWindowByClass(kLoginClass); }));
  EXPECT_TRUE(WaitFor([&] { return FileExists(privatePutty); }, 60000));
  EXPECT_EQ(ReadFileBytes(kConfig), saved);
  EXPECT_FALSE(FileExists(L"C:\\qarvex\\qp.ini"));
  EXPECT_FALSE(FileExists(L"C:\\qarvex\\putty.exe"));
  EXPECT_FALSE(program.FindMessageBox());  // said once
}

TEST_F(LoginTest, WrongPasswordShowsThePortalsReplyAndButtonComesBack) {
  std::unique_ptr<Program> program;
  HWND login = StartAtLogin(program);
  ASSERT_TRUE(login);
  LogIn(login, L"demo", L"wrong");
  HWND box = program->WaitMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(Text(box), L"信息：");
  EXPECT_EQ(MessageBoxText(box),
            L"{\"result\":false,\"text\":\"用户名或密码错误\",\"time\":1,\"url\":\"\"}");
  // While the box is up the button still says the login runs.
  EXPECT_EQ(Text(GetDlgItem(login, IdLoginButton)), L"正在登录");
  PressDialogButton(box, IDOK);
  HWND button = GetDlgItem(login, IdLoginButton);
  EXPECT_TRUE(WaitFor([&] { return Text(button) == L"登录" && Enabled(button); }));
  EXPECT_EQ(ReadFileBytes(kConfig), ConfigBytes(L"demo", L"wrong"));

  // Logout first, then the form post.
  std::string log = portal.Log();
  size_t logout = log.find("\"path\":\"//home/login/logout\"");
  size_t post = log.find("\"path\":\"//login/login\"");
  ASSERT_NE(logout, std::string::npos);
  ASSERT_NE(post, std::string::npos);
  EXPECT_LT(logout, post);
}

TEST_F(LoginTest, PasswordWithSpecialCharactersLogsInAndReadsBackWhole) {
  const std::wstring password = L"a&b=c%d+e pass1pass";
  {
    std::unique_ptr<Program> program;
    HWND login = StartAtLogin(program);
    ASSERT_TRUE(login);
    LogIn(login, L"amp", password);
    HWND main = program->WaitWindowClass(kMainClass);
    ASSERT_TRUE(main) << "the main window did not open";
    EXPECT_NE(Text(main).find(L"       官网："), std::wstring::npos);
    EXPECT_TRUE(WaitFor([&] { return !program->FindWindowByClass(kLoginClass); }));
    EXPECT_EQ(ReadFileBytes(kConfig), ConfigBytes(L"amp", password));
    auto posts = portal.LogLines("//login/login");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(JsonString(posts[0], "body_raw"),
              "redirectURL=&username=amp&password=a%26b%3Dc%25d%2Be+pass1pass&captcha=&saveNull=0"
              "&customerServiceID=");
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD code = 1;
    EXPECT_TRUE(program->WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
  }
  std::unique_ptr<Program> again;
  HWND login = StartAtLogin(again);
  ASSERT_TRUE(login);
  EXPECT_EQ(Text(GetDlgItem(login, IdLoginUser)), L"amp");
  EXPECT_EQ(Text(GetDlgItem(login, IdLoginPassword)), password);
}

TEST_F(LoginTest, LiveSessionOffersOneClickLogin) {
  portal.Set("remember=1");  // the portal keeps the session cookie across runs
  {
    std::unique_ptr<Program> program;
    HWND login = StartAtLogin(program);
    ASSERT_TRUE(login);
    LogInAsDemo(login);
    HWND main = program->WaitWindowClass(kMainClass);
    ASSERT_TRUE(main);
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program->WaitExit(20000));
  }
  std::unique_ptr<Program> program;
  HWND login = StartAtLogin(program);
  ASSERT_TRUE(login);
  EXPECT_EQ(Text(GetDlgItem(login, IdLoginStatus)),
            L"点击下方\"一键登录\"按钮即可一键登录demo账户！");
  HWND oneClick = GetDlgItem(login, IdOneClickButton);
  ASSERT_TRUE(Enabled(oneClick));
  size_t postsBefore = portal.LogLines("//login/login").size();
  Click(oneClick);
  EXPECT_TRUE(program->WaitWindowClass(kMainClass));
  EXPECT_EQ(portal.LogLines("//login/login").size(), postsBefore);  // no login request
}

TEST_F(LoginTest, NewPublishedVersionPromptsAndEnds) {
  portal.Set("version=2");
  // The browser stand-in records the URLs it is given here.
  const std::wstring browserLog = L"C:\\qarvex-browser.log";
  DeleteFileW(browserLog.c_str());
  std::unique_ptr<Program> program = std::make_unique<Program>(portal);
  HWND box = program->WaitMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(Text(box), L"系统提示：");
  std::wstring text = MessageBoxText(box);
  EXPECT_EQ(text.rfind(L"发现新版本2当前版本：1\r\n", 0), 0u) << WideToUtf8(text);
  EXPECT_NE(text.find(L"是否更新"), std::wstring::npos);
  // The login window shows behind the prompt but never becomes usable.
  if (HWND login = program->FindWindowByClass(kLoginClass)) {
    EXPECT_FALSE(Enabled(GetDlgItem(login, IdLoginButton)));
    EXPECT_FALSE(Enabled(GetDlgItem(login, IdOneClickButton)));
  }
  PressDialogButton(box, IDYES);
  DWORD code = 1;
  ASSERT_TRUE(program->WaitExit(30000, &code));
  EXPECT_EQ(code, 0u);
  std::string expected = portal.url + "/download.html";
  EXPECT_TRUE(WaitFor([&] {
    return ReadFileBytes(browserLog).find(expected) != std::string::npos;
  })) << ReadFileBytes(browserLog);
}

// Over https the portal's self-signed certificate is pinned at the first
// contact; another certificate stops every request (the version check's,
// the session probe's, the login's) until the user trusts it.
TEST_F(LoginTest, HttpsCertificateIsPinnedAndAChangeIsAskedAbout) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kPins);
  DemoPortal secure = portal;  // the program's portal and notice host
  secure.url = "https://127.0.0.1:" + FixtureFile("https_port");
  const std::string hostPort = secure.url.substr(8);
  const std::string pin1 = FixtureFile("cert1.pin"), pin2 = FixtureFile("cert2.pin");
  ASSERT_EQ(pin1.size(), 64u);
  {
    std::unique_ptr<Program> program = std::make_unique<Program>(secure);
    HWND login = program->WaitLoginReady();
    ASSERT_TRUE(login) << program->DescribeWindows();
    LogInAsDemo(login);
    HWND main = program->WaitWindowClass(kMainClass);
    ASSERT_TRUE(main) << program->DescribeWindows();
    EXPECT_FALSE(program->FindMessageBox()) << "the first contact pins silently";
    EXPECT_EQ(StoredPin(hostPort), pin1);
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program->WaitExit(20000));
  }
  {
    std::unique_ptr<Program> program;
    ASSERT_TRUE(StartAtLogin(program)) << "the same certificate passes";
    EXPECT_FALSE(program->FindMessageBox());
  }

  HttpGet(portal.url + "/__admin/cert?cert=" + FixtureDir() + "/cert2.pem&key=" + FixtureDir() +
          "/key2.pem");
  HttpGet(portal.url + "/__admin/log?clear=1");
  std::unique_ptr<Program> program = std::make_unique<Program>(secure);
  HWND box = nullptr;
  // Each request asks in a box of its own; the next box once `previous` is gone.
  auto nextBox = [&](HWND previous) {
    HWND next = nullptr;
    WaitFor([&] { return (next = program->FindMessageBox()) && next != previous; }, 60000);
    return next;
  };
  // The version check, then the session probe: refused.
  for (int i = 0; i < 2; ++i) {
    box = nextBox(box);
    ASSERT_TRUE(box) << program->DescribeWindows();
    const std::wstring text = MessageBoxText(box);
    EXPECT_NE(text.find(L"服务器 " + Utf8ToWide(hostPort) + L" 的证书已改变"), std::wstring::npos)
        << WideToUtf8(text);
    EXPECT_NE(HexOf(text).find(pin1), std::string::npos) << WideToUtf8(text);
    EXPECT_NE(HexOf(text).find(pin2), std::string::npos) << WideToUtf8(text);
    PressDialogButton(box, IDNO);
  }
  HWND login = program->WaitLoginReady();
  ASSERT_TRUE(login) << program->DescribeWindows();
  LogInAsDemo(login);
  // The logout's GET, then the login's POST: refused.
  box = nextBox(box);
  ASSERT_TRUE(box);
  PressDialogButton(box, IDNO);
  box = nextBox(box);
  ASSERT_TRUE(box);
  EXPECT_EQ(Text(box), L"系统提示：");
  PressDialogButton(box, IDNO);
  box = nextBox(box);  // the failed login's own box
  ASSERT_TRUE(box);
  EXPECT_EQ(Text(box), L"信息：");
  EXPECT_TRUE(portal.LogLines("//login/login").empty());
  EXPECT_TRUE(portal.LogLines("//user").empty());
  EXPECT_EQ(portal.Log().find("demo123"), std::string::npos) << "the password reached the server";
  EXPECT_EQ(StoredPin(hostPort), pin1);
  PressDialogButton(box, IDOK);

  // Trusted at the logout's GET: the pin is replaced and the login goes on.
  HWND button = GetDlgItem(login, IdLoginButton);
  ASSERT_TRUE(WaitFor([&] { return Enabled(button); }));
  Click(button);
  box = nextBox(box);
  ASSERT_TRUE(box);
  PressDialogButton(box, IDYES);
  EXPECT_TRUE(program->WaitWindowClass(kMainClass)) << program->DescribeWindows();
  EXPECT_EQ(StoredPin(hostPort), pin2);
  EXPECT_EQ(portal.LogLines("//login/login").size(), 1u);
}

TEST_F(LoginTest, NoticePageDownCutShortOrWithoutANumberLetsTheLoginGoOn) {
  // "abc" is no version, and a page cut short is no page, though the half
  // that came says 2.
  struct ClearFaults {
    std::string url;
    ~ClearFaults() { HttpGet(url + "/__admin/fault?clear=1"); }
  } clear{portal.url};
  for (const char* setting : {"version=abc", "version=2"}) {
    portal.Set(setting);
    if (setting == std::string("version=2")) {
      ASSERT_NE(HttpGet(portal.url + "/__admin/fault?path=/notice.html&mode=reset_mid_body"), "");
    }
    std::unique_ptr<Program> program;
    ASSERT_TRUE(StartAtLogin(program)) << setting;
    EXPECT_FALSE(program->FindMessageBox()) << setting;
  }
  HttpGet(portal.url + "/__admin/fault?clear=1");

  portal.Set("notice_down=1");
  std::unique_ptr<Program> program;
  HWND login = StartAtLogin(program);
  ASSERT_TRUE(login) << "the terminal ended instead of showing the login";
  EXPECT_FALSE(program->FindMessageBox());
  EXPECT_EQ(Text(GetDlgItem(login, IdLoginStatus)), L"");
  // Enter in the password box presses 登录.
  TypeText(GetDlgItem(login, IdLoginUser), L"demo");
  HWND password = GetDlgItem(login, IdLoginPassword);
  TypeText(password, L"demo123");
  PostMessageW(password, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(password, WM_KEYUP, VK_RETURN, 0xC0000001);
  EXPECT_TRUE(program->WaitWindowClass(kMainClass));
}

}  // namespace
