// The selected machine's commands, driven as a user would against the demo
// portal: power and sync, the copies, the resolution window and Remote
// Desktop (the test prefix's .rdp association points at rdp_recorder.exe).
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <wincrypt.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/commands.h"
#include "remote/rdp.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/driver_list.h"

using namespace e2e;
using namespace qx;  // control and command ids

namespace {

using e2e::Text;  // the window text, not the program's GBK text type

constexpr int kColumns = 13;
constexpr const wchar_t* kResolutionClass = L"QarvexResolutionWindow";

// The icon of a message box, told from the box's pixels: its icon control
// compared with the system icons drawn on the same background.
enum class Icon { None, Information, Exclamation, Unknown };

// Runs `draw` on a size × size memory bitmap and returns its pixels.
template <class Draw>
std::vector<COLORREF> Paint(int size, Draw draw) {
  HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ old = SelectObject(mem, bmp);
  draw(mem, screen);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) pixels.push_back(GetPixel(mem, x, y));
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return pixels;
}

Icon BoxIcon(HWND box) {
  HWND icon = GetDlgItem(box, 1088);  // the message box's icon control
  DWORD_PTR handle = 0;
  if (!icon || !SendMessageTimeoutW(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &handle))
    return Icon::Unknown;
  if (!handle) return Icon::None;
  const int size = GetSystemMetrics(SM_CXICON);
  Icon seen = Icon::Unknown;
  WaitFor(
      [&] {  // until the box is painted
        RECT r;
        GetWindowRect(icon, &r);
        const std::vector<COLORREF> shot = Paint(size, [&](HDC mem, HDC screen) {
          BitBlt(mem, 0, 0, size, size, screen, r.left, r.top, SRCCOPY);
        });
        for (auto [kind, id] : {std::pair{Icon::Information, IDI_INFORMATION},
                                std::pair{Icon::Exclamation, IDI_EXCLAMATION}}) {
          const std::vector<COLORREF> drawn = Paint(size, [&](HDC mem, HDC) {
            HBRUSH bg = CreateSolidBrush(shot[0]);
            RECT all{0, 0, size, size};
            FillRect(mem, &all, bg);
            DeleteObject(bg);
            DrawIconEx(mem, 0, 0, LoadIconW(nullptr, id), size, size, 0, nullptr, DI_NORMAL);
          });
          size_t same = 0;
          for (size_t i = 0; i < shot.size(); ++i) same += shot[i] == drawn[i];
          if (same * 10 >= shot.size() * 9) {
            seen = kind;
            return true;
          }
        }
        return false;
      },
      5000);
  return seen;
}

struct Box {
  std::wstring text, title;
  Icon icon = Icon::Unknown;
};

class MachineCommandsTest : public LoggedInTest {
 protected:
  std::vector<Row> Rows() const { return ReadListView(list, kColumns); }
  // A command whose handler returns at once: it has run when this returns.
  void Run(int command) const {
    DWORD_PTR r;
    SendMessageTimeoutW(main, WM_COMMAND, command, 0, SMTO_ABORTIFHUNG, 20000, &r);
  }
  // Waits for the program's message box, reads it and presses OK.
  Box CloseBox() const {
    Box b;
    HWND box = program->WaitMessageBox();
    EXPECT_TRUE(box) << program->DescribeWindows();
    if (!box) return b;
    b.text = MessageBoxText(box);
    b.title = Text(box);
    b.icon = BoxIcon(box);
    PressDialogButton(box, IDOK);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }));
    return b;
  }
};

void ExpectBox(const Box& b, const std::wstring& text, const std::wstring& title, Icon icon) {
  EXPECT_EQ(b.text, text);
  EXPECT_EQ(b.title, title);
  EXPECT_EQ(static_cast<int>(b.icon), static_cast<int>(icon)) << WideToUtf8(text);
}

TEST_F(MachineCommandsTest, PowerCommandsAndSyncPostTheIdAndReportTheVerdict) {
  ASSERT_TRUE(OpenMain());
  const std::vector<Row> rows = Rows();
  SelectListLine(list, 0);
  const std::string id = WideToUtf8(rows[0][12]);
  auto lastPost = [&] {
    const std::string last = HttpGet(portal.url + "/__admin/last");
    return JsonString(last, "path") + " " + JsonString(last, "body_raw");
  };

  struct Op {
    int command;
    const char* path;
    const wchar_t* success;
  };
  for (const Op& op : {Op{CmdStart, "//user/cloudManage/Start.html", L"开机成功"},
                       Op{CmdStop, "//user/cloudManage/stop.html", L"关机成功"},
                       Op{CmdRestart, "//user/cloudManage/restart.html", L"重启成功"}}) {
    PostMessageW(main, WM_COMMAND, op.command, 0);
    ExpectBox(CloseBox(), op.success, L"系统提示：", Icon::None);
    EXPECT_EQ(lastPost(), std::string(op.path) + " id=" + id);
  }
  // The same command for the same machine twice at once: one request, one box.
  const size_t starts = Requests("//user/cloudManage/Start.html");
  PostMessageW(main, WM_COMMAND, CmdStart, 0);
  PostMessageW(main, WM_COMMAND, CmdStart, 0);
  CloseBox();
  PostMessageW(main, WM_COMMAND, CmdStop, 0);
  EXPECT_EQ(CloseBox().text, L"关机成功");
  EXPECT_EQ(Requests("//user/cloudManage/Start.html"), starts + 1);

  // A refusal, and a reply that has the success text outside the markers.
  portal.Set("refuse=1");
  PostMessageW(main, WM_COMMAND, CmdRestart, 0);
  ExpectBox(CloseBox(), L"操作失败,请重试", L"信息：", Icon::None);
  portal.Set(
      "refuse=0&op_reply=%3Cp%3E%E5%BC%80%E6%9C%BA%E6%88%90%E5%8A%9F%3C%2Fp%3E");  // <p>开机成功</p>
  PostMessageW(main, WM_COMMAND, CmdStart, 0);
  ExpectBox(CloseBox(), L"操作失败,请重试", L"信息：", Icon::None);
  portal.Set("op_reply=");

  // Sync: the box first, then the list loaded again; also after a refusal.
  for (bool refuse : {false, true}) {
    portal.Set(refuse ? "refuse=1" : "refuse=0");
    SelectListLine(list, 0);
    const size_t lists = Requests("//user/cloud/menu/outstart");
    const ULONGLONG t0 = GetTickCount64();
    PostMessageW(main, WM_COMMAND, CmdSync, 0);
    HWND box = program->WaitMessageBox();
    EXPECT_GE(GetTickCount64() - t0, 700u);  // the portal is given a moment first
    EXPECT_EQ(lastPost(), "//user/cloudManage/sync.html id=" + id);
    EXPECT_EQ(Requests("//user/cloud/menu/outstart"), lists);  // not before the box is closed
    if (box) {
      ExpectBox(CloseBox(), refuse ? L"同步失败" : L"同步成功", L"系统提示：",
                refuse ? Icon::Exclamation : Icon::Information);
    }
    EXPECT_TRUE(WaitFor([&] {
      return Requests("//user/cloud/menu/third") > 0 &&
             Requests("//user/cloud/menu/outstart") == lists + 1;
    }));
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(Rows().size(), rows.size());
  }
  portal.Set("refuse=0");

  // No line selected: nothing is sent (the next command's request is the only one).
  SelectListLine(list, -1);
  const size_t before = Requests("//user/cloudManage/");
  for (int c : {CmdStart, CmdStop, CmdRestart, CmdSync}) Run(c);
  SelectListLine(list, 2);
  PostMessageW(main, WM_COMMAND, CmdRestart, 0);
  EXPECT_EQ(CloseBox().text, L"重启成功");
  EXPECT_EQ(Requests("//user/cloudManage/"), before + 1);
  EXPECT_EQ(lastPost(), "//user/cloudManage/restart.html id=" + WideToUtf8(rows[2][12]));
  EXPECT_FALSE(program->FindMessageBox());
}

struct Clip {
  std::string ansi;   // CF_TEXT up to its NUL
  std::wstring wide;  // CF_UNICODETEXT
  bool excluded = false, historyOff = false, cloudOff = false;
};

bool DwordZero(UINT format) {
  HANDLE h = GetClipboardData(format);
  const void* p = h ? GlobalLock(h) : nullptr;
  if (!p) return false;
  const bool zero = GlobalSize(h) >= sizeof(DWORD) && *static_cast<const DWORD*>(p) == 0;
  GlobalUnlock(h);
  return zero;
}

Clip ReadClipboard() {
  Clip c;
  if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 5000)) return c;
  if (HANDLE h = GetClipboardData(CF_TEXT)) {
    if (const char* p = static_cast<const char*>(GlobalLock(h))) {
      c.ansi.assign(p, strnlen(p, GlobalSize(h)));
      GlobalUnlock(h);
    }
  }
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(h))) {
      c.wide.assign(p, wcsnlen(p, GlobalSize(h) / sizeof(wchar_t)));
      GlobalUnlock(h);
    }
  }
  c.excluded = IsClipboardFormatAvailable(
      RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing"));
  c.historyOff = DwordZero(RegisterClipboardFormatW(L"CanIncludeInClipboardHistory"));
  c.cloudOff = DwordZero(RegisterClipboardFormatW(L"CanUploadToCloudClipboard"));
  CloseClipboard();
  return c;
}

void PutOnClipboard(const std::wstring& text) {
  ASSERT_TRUE(WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 5000));
  EmptyClipboard();
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(g), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(g);
  SetClipboardData(CF_UNICODETEXT, g);
  CloseClipboard();
}

TEST_F(MachineCommandsTest, CopiesPutTheGbkTextAndItsUnicodeOnTheClipboard) {
  ASSERT_TRUE(OpenMain());
  const std::vector<Row> rows = Rows();
  // Line 0 is on a dial-up line (broadband columns filled), line 1 is not.
  ASSERT_FALSE(rows[0][7].empty());
  ASSERT_TRUE(rows[1][7].empty());

  // Nothing selected: the clipboard stays as it was.
  PutOnClipboard(L"before");
  Run(CmdCopySystemPassword);
  Run(CmdCopyDetails);
  EXPECT_EQ(ReadClipboard().wide, L"before");

  struct Copy {
    int command, column;
    bool secret;
  };
  for (int line : {0, 1}) {
    SelectListLine(list, line);
    const Row& r = rows[line];
    for (const Copy& c :
         {Copy{CmdCopyBusinessId, 1, false}, Copy{CmdCopyRemoteAddress, 4, false},
          Copy{CmdCopySystemAccount, 5, false}, Copy{CmdCopySystemPassword, 6, true},
          Copy{CmdCopyBroadbandAccount, 7, false}, Copy{CmdCopyBroadbandPassword, 8, true}}) {
      PutOnClipboard(L"before");
      Run(c.command);
      const Clip clip = ReadClipboard();
      SCOPED_TRACE("line " + std::to_string(line) + " column " + std::to_string(c.column));
      EXPECT_EQ(clip.ansi, WideToGbk(r[c.column]));
      EXPECT_EQ(clip.wide, r[c.column]);
      EXPECT_EQ(clip.excluded, c.secret);
      EXPECT_EQ(clip.historyOff, c.secret);
      EXPECT_EQ(clip.cloudOff, c.secret);
    }
    Run(CmdCopyDetails);
    const Clip clip = ReadClipboard();
    const std::wstring details = L"业务标识：" + r[1] + L"\r\n远程地址：" + r[4] +
                                 L"\r\n系统账户：" + r[5] + L"\r\n系统密码：" + r[6] +
                                 L"\r\n宽带账户：" + r[7] + L"\r\n宽带密码：" + r[8] +
                                 L"\r\n到期时间：" + r[10];
    EXPECT_EQ(clip.wide, details);
    EXPECT_EQ(clip.ansi, WideToGbk(details));
    EXPECT_TRUE(clip.excluded && clip.historyOff && clip.cloudOff);
  }
  EXPECT_FALSE(program->FindMessageBox());
}

TEST_F(MachineCommandsTest, ResolutionWindowStoresWhatItShows) {
  ASSERT_TRUE(OpenMain());
  SelectListLine(list, 0);
  PostMessageW(main, WM_COMMAND, CmdResolution, 0);
  HWND res = program->WaitWindowClass(kResolutionClass);
  ASSERT_TRUE(res) << program->DescribeWindows();
  EXPECT_EQ(Text(res), L"分辨率设置");
  HWND width = GetDlgItem(res, IdResWidth), height = GetDlgItem(res, IdResHeight);
  HWND state = GetDlgItem(res, IdResState);
  // Nothing stored yet: 1280 × 720 offered, windowed.
  EXPECT_EQ(Text(width), L"1280");
  EXPECT_EQ(Text(height), L"720");
  EXPECT_EQ(Text(state), L"未开启全屏");
  EXPECT_FALSE(Enabled(state));
  EXPECT_EQ(ReadFileBytes(L"C:\\qarvex\\qp.ini"), WideToGbk(L"全屏：1真"));

  // A second 远程分辨率 brings the open window to the front.
  SetForegroundWindow(main);
  WaitFor([&] { return GetForegroundWindow() == main; }, 5000);
  PostMessageW(main, WM_COMMAND, CmdResolution, 0);
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == res; }, 10000));
  EXPECT_EQ(TopWindows(program->pid(), kResolutionClass).size(), 1u);

  Click(GetDlgItem(res, IdResFullButton));
  ExpectBox(CloseBox(), L"全屏开启成功", L"系统提示：", Icon::None);
  EXPECT_EQ(ReadFileBytes(L"C:\\qarvex\\qp.ini"), WideToGbk(L"全屏：2真"));
  EXPECT_EQ(Text(state), L"已开启全屏");
  EXPECT_TRUE(IsWindow(res));

  TypeText(width, L"1600 ");
  TypeText(height, L"900");
  Click(GetDlgItem(res, IdResSetButton));
  ExpectBox(CloseBox(), L"分辨率设置成功", L"系统提示：", Icon::None);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(res); }));
  EXPECT_EQ(ReadFileBytes(L"C:\\qarvex\\sz.ini"), WideToGbk(L"长：1600 \r\n宽：900sz"));
  EXPECT_EQ(ReadFileBytes(L"C:\\qarvex\\qp.ini"), WideToGbk(L"全屏：1真"));

  // Reopened: exactly what was saved; saved again unchanged, nothing added.
  PostMessageW(main, WM_COMMAND, CmdResolution, 0);
  res = program->WaitWindowClass(kResolutionClass);
  ASSERT_TRUE(res);
  EXPECT_EQ(Text(GetDlgItem(res, IdResWidth)), L"1600 ");
  EXPECT_EQ(Text(GetDlgItem(res, IdResHeight)), L"900");
  EXPECT_EQ(Text(GetDlgItem(res, IdResState)), L"未开启全屏");
  Click(GetDlgItem(res, IdResSetButton));
  CloseBox();
  EXPECT_EQ(ReadFileBytes(L"C:\\qarvex\\sz.ini"), WideToGbk(L"长：1600 \r\n宽：900sz"));
}

// --- Remote Desktop ---

std::wstring Env(const wchar_t* name) {
  wchar_t buf[4096];
  DWORD n = GetEnvironmentVariableW(name, buf, 4096);
  return n && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

// Associates .rdp with the recorder. Windows reads a user's own association
// from HKCU\Software\Classes; Wine 8 reads classes only from
// HKLM\Software\Classes, so both get it.
bool AssociateRdpWithRecorder(const std::wstring& recorder) {
  const std::wstring command = L"\"" + recorder + L"\" \"%1\"";
  auto set = [](HKEY root, const wchar_t* key, const std::wstring& value) {
    HKEY k;
    if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
      return false;
    const LONG r =
        RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
  };
  bool ok = true;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    ok = set(root, L"Software\\Classes\\.rdp", L"QarvexTest.RdpRecorder") &&
         set(root, L"Software\\Classes\\QarvexTest.RdpRecorder\\shell\\open\\command", command) &&
         ok;
  }
  return ok;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t p = 0;
  for (;;) {
    const size_t e = text.find("\r\n", p);
    lines.push_back(text.substr(p, e == std::string::npos ? std::string::npos : e - p));
    if (e == std::string::npos) return lines;
    p = e + 2;
  }
}

// The password line's blob decrypted for this Wine user: the plaintext bytes
// and the description.
bool Unprotect(const std::string& hex, std::string& plain, std::wstring& description) {
  std::string blob;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    blob += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  DATA_BLOB in{static_cast<DWORD>(blob.size()), reinterpret_cast<BYTE*>(blob.data())}, out{};
  LPWSTR desc = nullptr;
  if (!CryptUnprotectData(&in, &desc, nullptr, nullptr, nullptr, 0, &out)) return false;
  plain.assign(reinterpret_cast<const char*>(out.pbData), out.cbData);
  description = desc ? desc : L"";
  LocalFree(out.pbData);
  LocalFree(desc);
  return true;
}

std::string Utf16Le(const std::wstring& w) {
  return std::string(reinterpret_cast<const char*>(w.c_str()), (w.size() + 1) * sizeof(wchar_t));
}

TEST_F(MachineCommandsTest, RemoteDesktopOpensAFileTheClientReadsAndDeletesItLater) {
  const std::wstring recorder = Env(L"QARVEX_RDP_RECORDER");
  ASSERT_FALSE(recorder.empty());
  ASSERT_TRUE(AssociateRdpWithRecorder(recorder));
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring log = std::wstring(temp) + L"qarvex-rdp-log";
  for (int i = 1; DeleteFileW((log + L"\\" + std::to_wstring(i) + L".rdp").c_str()); ++i) {
  }
  DeleteFileW((log + L"\\opened.txt").c_str());
  auto recorded = [&](int n) { return ReadFileBytes(log + L"\\" + std::to_wstring(n) + L".rdp"); };

  ASSERT_TRUE(OpenMain("hostile_row=1", {L"QARVEX_RDP_LOG=" + log}));
  const std::vector<Row> rows = Rows();
  std::wstring exe = Utf8ToWide(getenv("QARVEX_EXE"));
  for (wchar_t& c : exe) c = c == L'/' ? L'\\' : c;
  const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/") + 1);
  // Display settings as the resolution window leaves them.
  ASSERT_TRUE(WaitFor([] { return FileExists(L"C:\\qarvex\\qp.ini"); }));
  auto write = [](const wchar_t* path, const std::wstring& text) {
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::string gbk = WideToGbk(text);
    DWORD n;
    WriteFile(f, gbk.data(), static_cast<DWORD>(gbk.size()), &n, nullptr);
    CloseHandle(f);
  };
  write(L"C:\\qarvex\\qp.ini", L"全屏：2真");
  write(L"C:\\qarvex\\sz.ini", L"长：1600\r\n宽：900sz");

  // A double-click on line 1 (an ordinary machine).
  const Row& m = rows[1];
  const std::wstring path = folder + m[1] + L".rdp";
  POINT at;
  SetForegroundWindow(main);
  ASSERT_TRUE(ListLineCentre(list, 1, at));
  StallProbe probe(program->pid());
  const ULONGLONG clicked = GetTickCount64();
  DoubleClickAt(at);
  ASSERT_TRUE(WaitFor([&] { return !recorded(1).empty(); })) << "the shell did not open the file";
  EXPECT_EQ(ListSelectedIndex(list), 1);
  EXPECT_EQ(Utf8ToWide(ReadFileBytes(log + L"\\opened.txt")), path + L"\n");

  const std::vector<std::string> lines = SplitCrLf(recorded(1));
  const std::vector<std::string> base = SplitCrLf(std::string(RdpTemplate()));
  ASSERT_EQ(lines.size(), 26u);
  EXPECT_EQ(lines[0], "screen mode id:i:2");
  EXPECT_EQ(lines[1], "desktopwidth:i:1600");
  EXPECT_EQ(lines[2], "desktopheight:i:900");
  EXPECT_EQ(lines[5], "full address:s:" + WideToGbk(m[4]));
  EXPECT_EQ(lines[15], "username:s:" + WideToGbk(m[5]));
  for (size_t i = 3; i < 26; ++i) {
    if (i != 5 && i != 15 && i != 19) {
      EXPECT_EQ(lines[i], base[i]) << i;
    }
  }
  ASSERT_EQ(lines[19].rfind("password 51:b:", 0), 0u);
  const std::string hex = lines[19].substr(14);
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  std::string plain;
  std::wstring description;
  ASSERT_TRUE(Unprotect(hex, plain, description));
  EXPECT_EQ(plain, Utf16Le(m[6]));
  EXPECT_EQ(description, L"psw");

  // The window answers while the file waits; it is gone 5 s after the open
  // (and the open comes after the click).
  ASSERT_TRUE(WaitFor([&] { return !FileExists(path); }, 30000));
  const ULONGLONG gone = GetTickCount64() - clicked;
  EXPECT_GE(gone, 4500u);
  EXPECT_LE(gone, 12000u);
  EXPECT_TRUE(AnsweredPromptly(probe.Take()));

  // 生成快捷远程: the file stays, at 1024 × 768, windowed.
  PostMessageW(main, WM_COMMAND, CmdRdpShortcut, 0);
  ExpectBox(CloseBox(),
            L"恭喜您，生成远程rdp快捷方式成功，文件已生成到软件所在目录，双击打开即可进行远程！",
            L"系统提示：", Icon::None);
  const std::vector<std::string> shortcut = SplitCrLf(ReadFileBytes(path));
  ASSERT_EQ(shortcut.size(), 26u);
  EXPECT_EQ(shortcut[0], "screen mode id:i:1");
  EXPECT_EQ(shortcut[1], "desktopwidth:i:1024");
  EXPECT_EQ(shortcut[2], "desktopheight:i:768");
  EXPECT_EQ(shortcut[5], lines[5]);
  EXPECT_TRUE(DeleteFileW(path.c_str()));

  // A hostile line: its address cannot add a line, its name cannot leave the folder.
  ASSERT_EQ(rows[0][1], L"..\\..\\x");
  SelectListLine(list, 0);
  PostMessageW(main, WM_COMMAND, CmdConnect, 0);
  ASSERT_TRUE(WaitFor([&] { return !recorded(2).empty(); }));
  const std::vector<std::string> hostile = SplitCrLf(recorded(2));
  ASSERT_EQ(hostile.size(), 26u);
  EXPECT_EQ(hostile[5],
            "full address:s:" + WideToGbk(rows[0][4].substr(0, rows[0][4].find(L'\r'))) +
                "alternate shell:s:cmd");
  EXPECT_EQ(hostile[17], "alternate shell:s:");
  EXPECT_EQ(Utf8ToWide(ReadFileBytes(log + L"\\opened.txt")),
            path + L"\n" + folder + L".._.._x.rdp\n");
  EXPECT_FALSE(FileExists(folder + L"..\\..\\x.rdp"));
  // Ending the program before the 5 s are over leaves no file behind.
  EXPECT_TRUE(FileExists(folder + L".._.._x.rdp"));
  PostMessageW(main, WM_COMMAND, CmdTrayExit, 0);
  ASSERT_TRUE(program->WaitExit(20000));
  EXPECT_FALSE(FileExists(folder + L".._.._x.rdp"));
}

// --- the list: sorting, expiry colours, keys, a window that grows ---

void ChordKey(WORD modifier, WORD vk) {
  INPUT in[4] = {};
  for (INPUT& i : in) i.type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[3].ki.wVk = modifier;
  in[1].ki.wVk = in[2].ki.wVk = vk;
  in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, in, sizeof(INPUT));
}

// Clicks the title of column `column` in the list's header, as a separate
// click (not the second half of a double-click).
void ClickColumnTitle(HWND list, int column) {
  static ULONGLONG last = 0;
  const ULONGLONG free = last + GetDoubleClickTime() + 100;
  WaitFor([&] { return GetTickCount64() >= free; }, 5000);
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT r;
  GetWindowRect(header, &r);
  int x = r.left;
  for (int c = 0; c < column; ++c)
    x += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
  LeftClickAt({x + static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)) / 2,
               (r.top + r.bottom) / 2});
  last = GetTickCount64();
}

std::vector<std::wstring> Column(const std::vector<Row>& rows, int c) {
  std::vector<std::wstring> v;
  for (const Row& r : rows) v.push_back(r[c]);
  return v;
}

// The running numbers of `rows` stably sorted by `less`.
template <class Less>
std::vector<std::wstring> NumbersSortedBy(std::vector<Row> rows, Less less) {
  std::stable_sort(rows.begin(), rows.end(), less);
  return Column(rows, 0);
}

// IPv4 host by its numbers, then the port as a number.
std::tuple<unsigned, unsigned, unsigned, unsigned, unsigned> AddressKey(const std::wstring& a) {
  unsigned p[5] = {};
  swscanf(a.c_str(), L"%u.%u.%u.%u:%u", &p[0], &p[1], &p[2], &p[3], &p[4]);
  return {p[0], p[1], p[2], p[3], p[4]};
}

bool HasPixel(POINT from, int width, COLORREF colour) {
  HDC screen = GetDC(nullptr);
  bool found = false;
  for (int dy = -5; dy <= 5 && !found; ++dy)
    for (int x = from.x; x < from.x + width && !found; ++x)
      found = GetPixel(screen, x, from.y + dy) == colour;
  ReleaseDC(nullptr, screen);
  return found;
}

constexpr wchar_t kPlacementKey[] = L"Software\\QARVEX\\Terminal";

TEST_F(MachineCommandsTest, SortColoursKeysAndAWindowThatGrows) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kPlacementKey);
  ASSERT_TRUE(OpenMain("expiry_soon=1"));
  std::vector<Row> expected = ParseJsonRows(HttpGet(portal.url + "/__admin/machines"));
  for (size_t i = 0; i < expected.size(); ++i)
    expected[i].insert(expected[i].begin(), std::to_wstring(i + 1));
  const auto byExpiry = [](const Row& a, const Row& b) { return a[10] < b[10]; };
  const auto byAddress = [](const Row& a, const Row& b) {
    return AddressKey(a[4]) < AddressKey(b[4]);
  };
  SetForegroundWindow(main);

  // 到期时间 both ways, 远程IP, then 序号 back to page order.
  ClickColumnTitle(list, 10);
  const std::vector<std::wstring> ascending = NumbersSortedBy(expected, byExpiry);
  EXPECT_TRUE(WaitFor([&] { return Column(Rows(), 0) == ascending; }, 10000));
  ClickColumnTitle(list, 10);
  EXPECT_TRUE(WaitFor(
      [&] {
        return Column(Rows(), 0) == NumbersSortedBy(expected, [&](const Row& a, const Row& b) {
                 return byExpiry(b, a);
               });
      },
      10000));
  ClickColumnTitle(list, 4);
  EXPECT_TRUE(
      WaitFor([&] { return Column(Rows(), 0) == NumbersSortedBy(expected, byAddress); }, 10000));
  ClickColumnTitle(list, 0);
  EXPECT_TRUE(WaitFor([&] { return Column(Rows(), 0) == Column(expected, 0); }, 10000));
  ClickColumnTitle(list, 10);
  ASSERT_TRUE(WaitFor([&] { return Column(Rows(), 0) == ascending; }, 10000));

  // Expiry colours: past grey, 2 days red, 5 days orange (nothing selected yet).
  const std::vector<Row> shown = Rows();
  auto lineOf = [&](const wchar_t* id) {
    for (size_t i = 0; i < shown.size(); ++i)
      if (shown[i][1] == id) return static_cast<int>(i);
    return -1;
  };
  const std::pair<const wchar_t*, COLORREF> marks[] = {{L"QX000001", RGB(128, 128, 128)},
                                                       {L"QX000002", RGB(220, 0, 0)},
                                                       {L"QX000003", RGB(230, 120, 0)}};
  for (const auto& [id, colour] : marks) {
    POINT centre;
    ASSERT_TRUE(ListLineCentre(list, lineOf(id), centre));
    EXPECT_TRUE(WaitFor(
        [&] {
          return HasPixel({centre.x - 20, centre.y}, 600, colour);
        },
        5000))
        << WideToUtf8(id);
  }

  // A command acts on the line the user chose, wherever the sort put it.
  SelectListLine(list, 5);
  Run(CmdCopySystemPassword);
  EXPECT_EQ(ReadClipboard().wide, shown[5][6]);
  // Ctrl+C on the list copies the line's remote address (a click gives the
  // list the keyboard focus).
  POINT line5;
  ASSERT_TRUE(ListLineCentre(list, 5, line5));
  LeftClickAt(line5);
  ASSERT_TRUE(WaitFor([&] { return ListSelectedIndex(list) == 5; }, 5000));
  ChordKey(VK_CONTROL, 'C');
  EXPECT_TRUE(WaitFor([&] { return ReadClipboard().wide == shown[5][4]; }, 5000));
  // F5 reloads; the order stays.
  const size_t before = Requests("//user/cloud/menu/outstart");
  PostMessageW(list, WM_KEYDOWN, VK_F5, 0);
  EXPECT_TRUE(WaitFor([&] { return Requests("//user/cloud/menu/outstart") == before + 1; }, 10000));
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(Column(Rows(), 0), ascending);
  // Enter on a line connects: the connection file appears beside the program.
  POINT line0;
  ASSERT_TRUE(ListLineCentre(list, 0, line0));
  LeftClickAt(line0);
  ASSERT_TRUE(WaitFor([&] { return ListSelectedIndex(list) == 0; }, 5000));
  std::wstring exe = Utf8ToWide(getenv("QARVEX_EXE"));
  for (wchar_t& c : exe) c = c == L'/' ? L'\\' : c;
  const std::wstring rdp = exe.substr(0, exe.find_last_of(L'\\') + 1) + Rows()[0][1] + L".rdp";
  PressKey(VK_RETURN);
  EXPECT_TRUE(WaitFor([&] { return FileExists(rdp); }, 10000)) << WideToUtf8(rdp);

  // The window grows; the list takes the room; the size comes back next time.
  SetWindowPos(main, nullptr, 10, 10, 1600, 900, SWP_NOZORDER);
  RECT client, listRect;
  GetClientRect(main, &client);
  GetWindowRect(list, &listRect);
  EXPECT_EQ(listRect.right - listRect.left, client.right);
  RECT grown;
  GetWindowRect(main, &grown);
  EXPECT_EQ(grown.right - grown.left, 1600);
  EXPECT_EQ(grown.bottom - grown.top, 900);
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(program->WaitExit(20000));
  ASSERT_TRUE(OpenMain());
  RECT again;
  GetWindowRect(main, &again);
  EXPECT_EQ(again.right - again.left, grown.right - grown.left);
  EXPECT_EQ(again.bottom - again.top, grown.bottom - grown.top);
  RegDeleteTreeW(HKEY_CURRENT_USER, kPlacementKey);
}

}  // namespace
