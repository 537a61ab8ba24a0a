// Remote Desktop and the list, driven as a user would against the demo
// portal: the connection file (the test prefix's .rdp association points at
// rdp_recorder.exe), sorting, expiry colours and the expiry balloon, keys and
// a window that grows.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <shellapi.h>
#include <wincrypt.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/commands.h"
#include "remote/rdp.h"
#include "tests/e2e/machine_commands_e2e.h"

using namespace e2e;
using namespace qx;  // control and command ids

namespace {

using e2e::Text;  // the window text, not the program's GBK text type

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
  const std::wstring beside = folder + m[1] + L"~连接.rdp";
  DeleteFileW(path.c_str());  // left by an earlier run that failed
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
  ASSERT_EQ(m[6], L"Qx15838&C");  // "Qx15838&amp;C" in the page
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

  // The shortcut is the user's: 连接 on the same machine writes its file
  // beside it and leaves the shortcut byte for byte, also when the program
  // is ended from outside before the file's deletion; the next start
  // deletes the file it left.
  const std::string saved = ReadFileBytes(path);
  PostMessageW(main, WM_COMMAND, CmdConnect, 0);
  ASSERT_TRUE(WaitFor([&] { return !recorded(2).empty(); }));
  EXPECT_EQ(Utf8ToWide(ReadFileBytes(log + L"\\opened.txt")), path + L"\n" + beside + L"\n");
  EXPECT_EQ(SplitCrLf(recorded(2))[1], "desktopwidth:i:1600");
  TerminateProcess(program->process(), 9);
  ASSERT_TRUE(program->WaitExit(10000));
  ASSERT_TRUE(FileExists(beside));
  ASSERT_TRUE(OpenMain("hostile_row=1", {L"QARVEX_RDP_LOG=" + log}));
  EXPECT_TRUE(WaitFor([&] { return !FileExists(beside); }));
  EXPECT_TRUE(ReadFileBytes(path) == saved);

  // 连接 again within the 5 s (a client that did not start, say): written
  // and opened again, deleted 5 s after the last.
  SelectListLine(list, 1);
  PostMessageW(main, WM_COMMAND, CmdConnect, 0);
  ASSERT_TRUE(WaitFor([&] { return !recorded(3).empty(); }));
  const ULONGLONG again = GetTickCount64();
  PostMessageW(main, WM_COMMAND, CmdConnect, 0);
  ASSERT_TRUE(WaitFor([&] { return !recorded(4).empty(); }));
  ASSERT_TRUE(WaitFor([&] { return !FileExists(beside); }, 30000));
  EXPECT_GE(GetTickCount64() - again, 4500u);
  EXPECT_TRUE(ReadFileBytes(path) == saved);

  // A hostile line: its address cannot add a line, its name cannot leave the folder.
  ASSERT_EQ(rows[0][1], L"..\\..\\x");
  SelectListLine(list, 0);
  PostMessageW(main, WM_COMMAND, CmdConnect, 0);
  ASSERT_TRUE(WaitFor([&] { return !recorded(5).empty(); }));
  const std::vector<std::string> hostile = SplitCrLf(recorded(5));
  ASSERT_EQ(hostile.size(), 26u);
  EXPECT_EQ(hostile[5],
            "full address:s:" + WideToGbk(rows[0][4].substr(0, rows[0][4].find(L'\r'))) +
                "alternate shell:s:cmd");
  EXPECT_EQ(hostile[17], "alternate shell:s:");
  EXPECT_EQ(
      Utf8ToWide(ReadFileBytes(log + L"\\opened.txt")),
      path + L"\n" + beside + L"\n" + beside + L"\n" + beside + L"\n" + folder + L".._.._x.rdp\n");
  EXPECT_FALSE(FileExists(folder + L"..\\..\\x.rdp"));
  // An end forced by a request that stalls, before the 5 s are over, leaves
  // no connection file behind, and the shortcut as it was.
  EXPECT_TRUE(FileExists(folder + L".._.._x.rdp"));
  portal.Set("latency_ms=10000");
  const size_t members = Requests("//user/members");
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(WaitFor([&] { return Requests("//user/members") > members; }));
  PostMessageW(main, WM_COMMAND, CmdTrayExit, 0);
  EXPECT_TRUE(program->WaitExit(5000)) << "still running 5 s after the tray menu's exit";
  EXPECT_FALSE(FileExists(folder + L".._.._x.rdp"));
  EXPECT_TRUE(ReadFileBytes(path) == saved);
  EXPECT_TRUE(DeleteFileW(path.c_str()));
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

// A day `days` from today as "YYYY-MM-DD", and as the balloon writes it ("12月9日").
std::pair<std::wstring, std::wstring> Day(int days) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  FILETIME f;
  SystemTimeToFileTime(&t, &f);
  ULARGE_INTEGER u{{f.dwLowDateTime, f.dwHighDateTime}};
  u.QuadPart += days * 864000000000LL;
  f = {u.LowPart, u.HighPart};
  FileTimeToSystemTime(&f, &t);
  wchar_t iso[16];
  swprintf(iso, 16, L"%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
  return {iso, std::to_wstring(t.wMonth) + L"月" + std::to_wstring(t.wDay) + L"日"};
}

TEST_F(MachineCommandsTest, SortColoursKeysBalloonAndAWindowThatGrows) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kPlacementKey);
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\QARVEX", L"ExpiryBalloonDay");
  const std::wstring timing = L"C:\\qarvex-balloon-timing.log";
  DeleteFileW(timing.c_str());
  const auto balloons = [&] {
    size_t n = 0;
    for (const std::string& line : SplitCrLf(ReadFileBytes(timing)))
      n += line.rfind("balloon ", 0) == 0;
    return n;
  };
  // Today simulated as the clock's day: machines expired a day ago, and in 2 and 5 days.
  ASSERT_TRUE(
      OpenMain("expiry_soon=1", {L"QARVEX_TODAY=" + Day(0).first, L"QARVEX_TIMING_LOG=" + timing}));
  const std::wstring said = L"3 台机器将在 7 天内到期，最早：QX000001 " + Day(-1).second;
  EXPECT_TRUE(WaitFor([&] { return BalloonText() == said; }, 10000)) << WideToUtf8(BalloonText());
  EXPECT_TRUE(WaitFor([&] { return balloons() == 1; }, 5000));
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

  // A click on the balloon: still by 到期时间, with the expiring machines
  // selected, the earliest focused.
  SelectListLine(list, 5);
  PostMessageW(main, kTrayMessage, 1, NIN_BALLOONUSERCLICK);
  EXPECT_TRUE(WaitFor([&] { return ListSelectedIndex(list) == 0; }, 5000));
  EXPECT_EQ(Column(Rows(), 0), ascending);
  for (int line = -1; (line = ListView_GetNextItem(list, line, LVNI_SELECTED)) >= 0;)
    EXPECT_LT(lineOf(shown[static_cast<size_t>(line)][1].c_str()), 3) << line;

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
  // No second balloon the same day (its line would come before the reload's).
  ASSERT_TRUE(
      WaitFor([&] { return ReadFileBytes(timing).find("refreshed") != std::string::npos; }));
  EXPECT_EQ(balloons(), 1u);
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
  // The next day (the day of the last balloon is kept), one balloon again.
  ASSERT_TRUE(OpenMain({}, {L"QARVEX_TODAY=" + Day(1).first, L"QARVEX_TIMING_LOG=" + timing}));
  EXPECT_TRUE(WaitFor([&] { return balloons() == 2; }, 5000));
  RECT again;
  GetWindowRect(main, &again);
  EXPECT_EQ(again.right - again.left, grown.right - grown.left);
  EXPECT_EQ(again.bottom - again.top, grown.bottom - grown.top);
  RegDeleteTreeW(HKEY_CURRENT_USER, kPlacementKey);
}

}  // namespace

// The 延迟 column against the demo's ports: machine 1, 4, 7 listen, 2, 5, 8
// are closed, 3, 6, 9 keep their connects waiting (the kernel's queue full).
TEST_F(MachineCommandsTest, ProbeTellsWhoAnswersBoundsTheSlowAndDropsStaleResults) {
  ASSERT_TRUE(OpenMain("machines=9&probe_ports=mixed"));
  StallProbe stall(program->pid());
  constexpr int kLatency = kColumns;  // the column after the portal's
  const auto latencies = [&] {
    std::vector<std::wstring> byMachine(9);
    for (const Row& r : ReadListView(list, kLatency + 1))
      byMachine[static_cast<size_t>(std::stoi(r[1].substr(2)) - 1)] = r[kLatency];
    return byMachine;
  };
  const auto allDone = [&] {
    const auto all = latencies();
    return std::none_of(all.begin(), all.end(),
                        [](const std::wstring& t) { return t.empty() || t == L"检测中…"; });
  };
  const auto expectMixed = [&] {
    const auto all = latencies();
    for (size_t i = 0; i < all.size(); ++i) {
      if (i % 3 == 0)
        EXPECT_TRUE(all[i].size() > 3 && all[i].substr(all[i].size() - 3) == L" ms")
            << i + 1 << ": " << WideToUtf8(all[i]);
      else
        EXPECT_EQ(all[i], L"无响应") << i + 1;
    }
  };

  // F6 again: the slow ones wait out the 3 s bound, not the slow accept.
  ASSERT_TRUE(WaitFor(allDone, 30000));
  stall.Step("F6");
  const ULONGLONG asked = GetTickCount64();
  SetForegroundWindow(main);
  PressKey(VK_F6);
  ASSERT_TRUE(WaitFor([&] { return latencies()[2] == L"检测中…"; }, 10000));
  ASSERT_TRUE(WaitFor([&] { return latencies()[2] == L"无响应"; }, 10000));
  const ULONGLONG took = GetTickCount64() - asked;
  EXPECT_GE(took, 2500u);
  EXPECT_LT(took, 4900u);  // the slow port takes what waits every 5 s
  ASSERT_TRUE(WaitFor(allDone, 10000));
  expectMixed();

  // 选择无响应的机器 selects exactly the lines that show 无响应.
  Run(CmdSelectNoAnswer);
  std::vector<int> selected, silent;
  for (int i = -1;
       (i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0;)
    selected.push_back(i);
  const std::vector<Row> shown = ReadListView(list, kLatency + 1);
  for (size_t i = 0; i < shown.size(); ++i)
    if (shown[i][kLatency] == L"无响应") silent.push_back(static_cast<int>(i));
  EXPECT_EQ(selected, silent);
  EXPECT_EQ(silent.size(), 6u);

  // A reload while the slow ones are probed. The new list's addresses have no
  // port: none is probed, so any result in its column is the old probe's,
  // whether its slow connects were answered or not.
  stall.Step("reload while probing");
  Run(CmdProbe);
  const ULONGLONG reloaded = GetTickCount64();
  ASSERT_EQ(latencies()[2], L"检测中…");
  portal.Set("probe_ports=noport");
  Run(CmdRefresh);
  ASSERT_TRUE(WaitFor([&] { return ListItemCount(list) == 0; }, 10000));
  ASSERT_TRUE(WaitLoaded());
  WaitFor([&] { return GetTickCount64() - reloaded > 5000; }, 10000);  // past the old bound
  for (const std::wstring& t : latencies()) EXPECT_EQ(t, L"—");
  EXPECT_TRUE(AnsweredPromptly(stall.Take()));
}
