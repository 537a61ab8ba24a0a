// The main window, driven as a user would, against the demo portal: the
// member summary, the machine list, search, reload, menus and the end.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <wininet.h>

#include <functional>

#include "app/commands.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/driver_list.h"

using namespace e2e;
using namespace qx;  // control and command ids

namespace {

constexpr int kColumns = 13;

class MainWindowTest : public LoggedInTest {
 protected:
  // What the list should hold: the portal's rows numbered from 1.
  std::vector<Row> ExpectedRows() const {
    std::vector<Row> rows = ParseJsonRows(HttpGet(portal.url + "/__admin/machines"));
    for (size_t i = 0; i < rows.size(); ++i)
      rows[i].insert(rows[i].begin(), std::to_wstring(i + 1));
    return rows;
  }
};

// The local files of every entry in this user's WinINet cache (emptied
// first with `clear`).
std::vector<std::wstring> UrlCacheFiles(bool clear = false) {
  std::vector<std::wstring> files;
  std::vector<char> buffer(64 * 1024);
  auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  DWORD size = static_cast<DWORD>(buffer.size());
  HANDLE find = FindFirstUrlCacheEntryW(nullptr, entry, &size);
  if (!find) return files;
  do {
    if (clear)
      DeleteUrlCacheEntryW(entry->lpszSourceUrlName);
    else if (entry->lpszLocalFileName)
      files.emplace_back(entry->lpszLocalFileName);
    size = static_cast<DWORD>(buffer.size());
  } while (FindNextUrlCacheEntryW(find, entry, &size));
  FindCloseUrlCache(find);
  return files;
}

void ExpectSameRows(const std::vector<Row>& actual, const std::vector<Row>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(actual[i], expected[i])
        << "line " << i << ": " << WideToUtf8(actual[i][1]) << " / " << WideToUtf8(expected[i][1]);
  }
}

TEST_F(MainWindowTest, ShowsSummaryNoticeAndEveryMachineInPageOrder) {
  UrlCacheFiles(/*clear=*/true);  // what earlier runs left
  ASSERT_TRUE(OpenMain()) << "the main window did not load";
  EXPECT_FALSE(program->FindWindowByClass(kLoginClass));
  EXPECT_EQ(Text(GetDlgItem(main, IdMainMemberName)), L"demo");
  EXPECT_EQ(Text(GetDlgItem(main, IdMainBalance)), L"128.50");
  EXPECT_EQ(Text(GetDlgItem(main, IdMainCount)), L"36台");
  EXPECT_EQ(Text(GetDlgItem(main, IdMainNotice)), L"QARVEX演示门户：本门户所有数据均为演示数据");
  EXPECT_EQ(Text(main), L"QARVEX挂机宝管理终端       官网：127.0.0.1");

  std::vector<Row> expected = ExpectedRows();
  ASSERT_EQ(expected.size(), 36u);
  ExpectSameRows(ReadListView(list, kColumns), expected);  // vpsid included, though hidden
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 12, 0), 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 4, 0), 200);
  EXPECT_EQ(ListSelectedIndex(list), -1);
  EXPECT_TRUE(SendMessageW(GetDlgItem(main, IdMainContactPicture), STM_GETIMAGE, IMAGE_BITMAP, 0));
  // No portal page is kept in the cache: the list pages carry every
  // machine's system password.
  const std::string password = WideToUtf8(expected[0][6]);
  ASSERT_FALSE(password.empty());
  for (const std::wstring& file : UrlCacheFiles())
    EXPECT_EQ(ReadFileBytes(file).find(password), std::string::npos) << WideToUtf8(file);

  // The windowed setting is written again at every start.
  EXPECT_EQ(ReadFileBytes(L"C:\\qarvex\\qp.ini"), WideToGbk(L"全屏：1真"));
  // Members first, then the three list pages in order with their page sizes.
  std::string log = portal.Log();
  size_t members = log.find("\"path\":\"//user/members\"");
  size_t p1 = log.find("//user/cloud/menu/outstart?orderStatus=&lineID=&pagesize=500&");
  size_t p2 = log.find("//user/cloud/menu/computer?orderStatus=&lineID=&pagesize=1000&");
  size_t p3 = log.find("//user/cloud/menu/third?orderStatus=&lineID=&pagesize=500&");
  ASSERT_NE(members, std::string::npos);
  ASSERT_NE(p3, std::string::npos);
  EXPECT_LT(members, p1);
  EXPECT_LT(p1, p2);
  EXPECT_LT(p2, p3);
}

TEST_F(MainWindowTest, TwoThousandMachinesAreAllListed) {
  portal.Set("machines=2000");
  ASSERT_TRUE(OpenMain());
  EXPECT_EQ(Text(GetDlgItem(main, IdMainCount)), L"2000台");
  ExpectSameRows(ReadListView(list, kColumns), ExpectedRows());
}

TEST_F(MainWindowTest, ExpiredSessionGivesEmptyLabelsAndListWithoutAMessage) {
  ASSERT_TRUE(OpenMain("expired=1"));
  EXPECT_EQ(Text(GetDlgItem(main, IdMainMemberName)), L"");
  EXPECT_EQ(Text(GetDlgItem(main, IdMainBalance)), L"");
  EXPECT_EQ(Text(GetDlgItem(main, IdMainCount)), L"0台（第1、2、3页读取失败）");
  EXPECT_EQ(ListItemCount(list), 0);
  EXPECT_FALSE(program->FindMessageBox());
  // The notice does not depend on the session.
  EXPECT_EQ(Text(GetDlgItem(main, IdMainNotice)), L"QARVEX演示门户：本门户所有数据均为演示数据");
}

TEST_F(MainWindowTest, NoticePageDownLeavesOnlyTheNoticeEmpty) {
  ASSERT_TRUE(OpenMain("notice_down=1"));
  EXPECT_EQ(Text(GetDlgItem(main, IdMainNotice)), L"");
  EXPECT_EQ(Text(GetDlgItem(main, IdMainMemberName)), L"demo");
  EXPECT_EQ(Text(GetDlgItem(main, IdMainCount)), L"36台");
  EXPECT_EQ(ListItemCount(list), 36);
}

TEST_F(MainWindowTest, SearchSelectsTheFirstMatchingAddressAndOtherwiseChangesNothing) {
  ASSERT_TRUE(OpenMain());
  const std::vector<Row> rows = ExpectedRows();
  HWND edit = GetDlgItem(main, IdMainSearchText), button = GetDlgItem(main, IdMainSearchButton);
  auto search = [&](const std::wstring& text) {
    TypeText(edit, text);
    DWORD_PTR r;  // synchronous: the search has run when this returns
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 20000, &r);
  };
  auto firstMatch = [&](const std::wstring& text) {
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i][4].find(text) != std::wstring::npos) return static_cast<int>(i);
    return -1;
  };

  // A port of the form 2000x: the first such line is not the first line.
  const int expected = firstMatch(L":2000");
  ASSERT_GT(expected, 0);
  search(L":2000");
  EXPECT_EQ(ListSelectedIndex(list), expected);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
  EXPECT_EQ(info.hwndFocus, list);

  // The start of a longer address matches it.
  const int prefix = firstMatch(L"10.0.0.1");
  search(L"10.0.0.1");
  EXPECT_EQ(ListSelectedIndex(list), prefix);

  SelectListLine(list, 5);
  search(L"192.168.");
  EXPECT_EQ(ListSelectedIndex(list), 5);
}

TEST_F(MainWindowTest, TwoQuickReloadsGiveOneList) {
  ASSERT_TRUE(OpenMain());
  HWND loading = GetDlgItem(main, IdMainLoadingLabel);
  const size_t before = Requests("//user/cloud/menu/outstart");
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(loading) != FALSE; }));
  EXPECT_EQ(Text(loading), L"更新列表中请稍后！");
  EXPECT_EQ(ListItemCount(list), 0);
  ASSERT_TRUE(WaitFor([&] { return Loaded(main); }, 60000));
  // A reload asked for while one runs is dropped, not queued: wait a little
  // longer than a reload takes and look again.
  WaitFor([] { return false; }, 2500);
  EXPECT_TRUE(Loaded(main));
  EXPECT_EQ(Requests("//user/cloud/menu/outstart"), before + 1);
  ExpectSameRows(ReadListView(list, kColumns), ExpectedRows());
}

TEST_F(MainWindowTest, ContextMenuOpensOnlyOnASelectedLine) {
  ASSERT_TRUE(OpenMain("machines=3"));
  ASSERT_EQ(ListItemCount(list), 3);
  SetForegroundWindow(main);

  // Below the last line: nothing is selected, so no menu.
  POINT last;
  ASSERT_TRUE(ListLineCentre(list, 2, last));
  POINT blank{last.x, last.y + 120};
  RightClickAt(blank);
  WaitFor([&] { return FindPopupMenu(program->pid()) != nullptr; }, 1500);
  EXPECT_FALSE(FindPopupMenu(program->pid()));
  EXPECT_EQ(ListSelectedIndex(list), -1);

  // On a line: the click selects it and the menu opens.
  POINT line;
  ASSERT_TRUE(ListLineCentre(list, 1, line));
  RightClickAt(line);
  EXPECT_TRUE(WaitFor([&] { return FindPopupMenu(program->pid()) != nullptr; }, 5000));
  EXPECT_EQ(ListSelectedIndex(list), 1);
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return FindPopupMenu(program->pid()) == nullptr; }, 5000));

  // A press on line 0 that slips 12 pixels before the release: the list
  // takes it for the start of a drag and sends no NM_RCLICK; the menu opens
  // all the same. (A pointer position that the desktop reports late can
  // make a real click such a press.)
  POINT first;
  ASSERT_TRUE(ListLineCentre(list, 0, first));
  ScreenToClient(list, &first);
  PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(first.x, first.y));
  PostMessageW(list, WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(first.x, first.y + 12));
  PostMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(first.x, first.y + 12));
  EXPECT_TRUE(WaitFor([&] { return FindPopupMenu(program->pid()) != nullptr; }, 5000));
  EXPECT_EQ(ListSelectedIndex(list), 0);
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return FindPopupMenu(program->pid()) == nullptr; }, 5000));
}

TEST_F(MainWindowTest, AnUnknownCommandDoesNothingAndExitEndsTheProgram) {
  ASSERT_TRUE(OpenMain());
  SelectListLine(list, 0);
  const size_t requests = portal.LogLines("").size();
  const DWORD clipboard = GetClipboardSequenceNumber();
  const HANDLE skin = GetPropW(main, L"QarvexSkin");
  PostMessageW(main, WM_COMMAND, 0x7ff0, 0);  // no command of ours
  // 刷新 behind it: once its requests have come, the command has been handled.
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(
      WaitFor([&] { return Requests("//user/cloud/menu/third") == 2 && Loaded(main); }, 60000));
  std::vector<std::string> paths;
  const std::vector<std::string> log = portal.LogLines("");
  for (size_t i = requests; i < log.size(); ++i) paths.push_back(JsonString(log[i], "path"));
  ASSERT_EQ(paths.size(), 4u) << ::testing::PrintToString(paths);
  EXPECT_EQ(paths[0], "//user/members");
  EXPECT_EQ(paths[3].rfind("//user/cloud/menu/third?", 0), 0u);
  EXPECT_EQ(TopWindows(program->pid()), std::vector<HWND>{main}) << program->DescribeWindows();
  EXPECT_EQ(GetClipboardSequenceNumber(), clipboard);
  EXPECT_EQ(GetPropW(main, L"QarvexSkin"), skin);

  PostMessageW(main, WM_COMMAND, CmdTrayExit, 0);
  DWORD code = 1;
  ASSERT_TRUE(program->WaitExit(20000, &code));
  EXPECT_EQ(code, 0u);
}

// The browser stand-in's log: one URL a line, in the order they were opened.
std::vector<std::string> BrowserLog() {
  std::vector<std::string> lines;
  const std::string all = ReadFileBytes(L"C:\\qarvex-browser.log");
  size_t p = 0;
  while (p < all.size()) {
    size_t e = all.find('\n', p);
    if (e == std::string::npos) e = all.size();
    if (e > p) lines.push_back(all.substr(p, e - p));
    p = e + 1;
  }
  return lines;
}

// A press of the left button on a control (a label or picture that notifies).
void PressLeftButton(HWND control) {
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

bool Centred(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r.left == (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2 &&
         r.top == (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
}

TEST_F(MainWindowTest, WebPageCommandsOpenTheirPagesAndTheTrayIconRestoresOrOpensItsMenu) {
  DeleteFileW(L"C:\\qarvex-browser.log");
  // Each command opens exactly one page, the right one.
  auto opens = [&](const char* what, const std::function<void()>& command, const std::string& url) {
    const size_t before = BrowserLog().size();
    command();
    EXPECT_TRUE(WaitFor([&] { return BrowserLog().size() > before; }, 20000)) << what;
    const std::vector<std::string> log = BrowserLog();
    ASSERT_EQ(log.size(), before + 1) << what;
    EXPECT_EQ(log.back(), url) << what;
  };
  const std::string base = portal.url;
  ASSERT_TRUE(OpenMain({}, {}, [&](HWND login) {
    opens(
        "register label", [&] { PressLeftButton(GetDlgItem(login, IdLoginRegister)); },
        base + "//register");
    opens(
        "password recovery label", [&] { PressLeftButton(GetDlgItem(login, IdLoginRecover)); },
        base + "//getPassword");
  }));
  opens(
      "portal button", [&] { Click(GetDlgItem(main, IdMainPortalButton)); }, base + "//");
  opens(
      "contact picture", [&] { PressLeftButton(GetDlgItem(main, IdMainContactPicture)); },
      base + "/contact");
  opens(
      "buy-VPS menu item", [&] { PostMessageW(main, WM_COMMAND, CmdBuyVps, 0); },
      base + "//business/tarn/gxip.html");
  opens(
      "contact menu item", [&] { PostMessageW(main, WM_COMMAND, CmdContact, 0); },
      base + "/contact");

  // Left click: the minimised window comes back, centred on the screen.
  SetWindowPos(main, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return IsIconic(main) != FALSE; }));
  PostMessageW(main, kTrayMessage, 1, WM_LBUTTONUP);
  EXPECT_TRUE(WaitFor([&] { return !IsIconic(main) && IsWindowVisible(main) && Centred(main); }))
      << "the window was not restored to the centre";

  // Double click adds nothing to the click before it; right click opens the
  // tray menu, whose 官网 opens the public website.
  SetWindowPos(main, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT moved;
  GetWindowRect(main, &moved);
  PostMessageW(main, kTrayMessage, 1, WM_LBUTTONDBLCLK);
  PostMessageW(main, kTrayMessage, 1, WM_RBUTTONUP);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (menu = FindPopupMenu(program->pid())) != nullptr; }, 10000));
  RECT now;
  GetWindowRect(main, &now);
  EXPECT_EQ(now.left, moved.left);
  EXPECT_EQ(now.top, moved.top);
  opens(
      "tray menu website item",
      [&] {
        PressKey(VK_DOWN);  // 打开
        PressKey(VK_DOWN);  // 官网
        PressKey(VK_RETURN);
      },
      base + "/website");
  EXPECT_TRUE(WaitFor([&] { return FindPopupMenu(program->pid()) == nullptr; }, 5000));
}

// Sets the prefix's system DPI for the programs started from now on (Wine
// reads LogPixels when a process starts) and puts the old value back.
class SystemDpiSetting {
 public:
  explicit SystemDpiSetting(DWORD dpi) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr) != ERROR_SUCCESS)
      return;
    DWORD size = sizeof old_;
    had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_),
                            &size) == ERROR_SUCCESS;
    RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                   sizeof dpi);
  }
  ~SystemDpiSetting() { Restore(); }
  void Restore() {
    if (!key_) return;
    if (had_)
      RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_),
                     sizeof old_);
    else
      RegDeleteValueW(key_, L"LogPixels");
    RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
  DWORD old_ = 0;
  bool had_ = false;
};

// At 150 % the program (system DPI aware) scales its 96-DPI layout: windows,
// controls, list columns and the font.
TEST_F(MainWindowTest, At150PercentTheLayoutIsScaled) {
  SystemDpiSetting dpi(144);
  ASSERT_TRUE(OpenMain({}, {}, [&](HWND login) {
    dpi.Restore();  // the program has read it
    RECT r;
    GetClientRect(login, &r);
    EXPECT_EQ(r.right, 521);  // 347 × 223 at 96 DPI
    EXPECT_EQ(r.bottom, 335);
    GetWindowRect(GetDlgItem(login, IdLoginUser), &r);
    MapWindowPoints(nullptr, login, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 132);  // (88, 40) 168 × 32
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(r.right - r.left, 252);
    EXPECT_EQ(r.bottom - r.top, 48);
  })) << program->DescribeWindows();
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 4, 0), 300);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 12, 0), 0);
  // Lines as tall as the 18-pixel font (the 12-pixel one gives about 16).
  POINT first, second;
  ASSERT_TRUE(ListLineCentre(list, 0, first) && ListLineCentre(list, 1, second));
  EXPECT_GE(second.y - first.y, 18);
  // The contact picture's box (96 × 24 at 96 DPI).
  RECT r;
  GetWindowRect(GetDlgItem(main, IdMainContactPicture), &r);
  EXPECT_EQ(r.right - r.left, 144);
  EXPECT_EQ(r.bottom - r.top, 36);
}

// What Explorer shows in the file's properties.
TEST(VersionResource, NamesTheProductAndVersionOne) {
  wchar_t exe[MAX_PATH];
  ASSERT_TRUE(GetEnvironmentVariableW(L"QARVEX_EXE", exe, MAX_PATH));
  std::string info(GetFileVersionInfoSizeW(exe, nullptr), '\0');
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoW(exe, 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT n = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &n));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  auto value = [&](const wchar_t* name) {
    wchar_t* text = nullptr;
    UINT len = 0;
    std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &len))
      return std::wstring(L"(none)");
    return std::wstring(text);
  };
  EXPECT_EQ(value(L"ProductName"), L"QARVEX挂机宝管理终端");
  EXPECT_EQ(value(L"FileDescription"), L"QARVEX挂机宝管理终端");
  EXPECT_EQ(value(L"ProductVersion"), L"1");
  EXPECT_EQ(value(L"FileVersion"), L"1");
}

}  // namespace
