// The selected machine's commands, driven as a user would against the demo
// portal: power and sync, the copies and the resolution window.
#include "tests/e2e/machine_commands_e2e.h"

#include <gtest/gtest.h>
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/commands.h"

using namespace qx;  // control and command ids

namespace e2e {
namespace {

constexpr const wchar_t* kResolutionClass = L"QarvexResolutionWindow";

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

bool DwordZero(UINT format) {
  HANDLE h = GetClipboardData(format);
  const void* p = h ? GlobalLock(h) : nullptr;
  if (!p) return false;
  const bool zero = GlobalSize(h) >= sizeof(DWORD) && *static_cast<const DWORD*>(p) == 0;
  GlobalUnlock(h);
  return zero;
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

std::vector<int> SelectedLines(HWND list) {
  std::vector<int> lines;
  for (DWORD_PTR i = static_cast<DWORD_PTR>(-1);
       SendMessageTimeoutW(list, LVM_GETNEXTITEM, i, LVNI_SELECTED, SMTO_ABORTIFHUNG, 10000, &i) &&
       static_cast<int>(i) >= 0;)
    lines.push_back(static_cast<int>(i));
  return lines;
}

}  // namespace

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

void ExpectBox(const Box& b, const std::wstring& text, const std::wstring& title, Icon icon) {
  EXPECT_EQ(b.text, text);
  EXPECT_EQ(b.title, title);
  EXPECT_EQ(static_cast<int>(b.icon), static_cast<int>(icon)) << WideToUtf8(text);
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

TEST_F(MachineCommandsTest, SeveralLinesActedOnTogether) {
  ASSERT_TRUE(OpenMain());
  const std::vector<Row> rows = Rows();
  portal.Set("refuse_id=" + WideToUtf8(rows[1][12]));
  // The list takes several lines: 0, 1 and 3.
  EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & LVS_SINGLESEL, 0);
  SelectListLines(list, {0, 1, 3});
  ASSERT_EQ(SelectedLines(list), (std::vector<int>{0, 1, 3}));

  // One question, nothing sent before the answer; then one request per
  // machine in list order and one box naming the refused machine.
  const size_t before = Requests("//user/cloudManage/");
  PostMessageW(main, WM_COMMAND, CmdRestart, 0);
  HWND ask = program->WaitMessageBox();
  ASSERT_TRUE(ask);
  EXPECT_EQ(MessageBoxText(ask), L"确定重启选中的 3 台机器吗？");
  EXPECT_EQ(Requests("//user/cloudManage/"), before);
  PressDialogButton(ask, IDYES);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(ask); }));
  ExpectBox(CloseBox(),
            L"2 台机器重启成功，1 台失败：\r\n" + rows[1][1] + L"：该机器正在维护，请稍后再试",
            L"系统提示：", Icon::Exclamation);
  std::vector<std::string> ids;
  const std::vector<std::string> posts = portal.LogLines("//user/cloudManage/");
  for (size_t i = before; i < posts.size(); ++i) {
    EXPECT_EQ(JsonString(posts[i], "path"), "//user/cloudManage/restart.html");
    ids.push_back(JsonString(posts[i], "body_raw"));
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"id=" + WideToUtf8(rows[0][12]),
                                           "id=" + WideToUtf8(rows[1][12]),
                                           "id=" + WideToUtf8(rows[3][12])}));
  EXPECT_EQ(Text(GetDlgItem(main, IdMainCount)).find(L"正在"), std::wstring::npos);
  EXPECT_FALSE(program->FindMessageBox());
  portal.Set("refuse_id=");

  // One-machine commands take the focused line; 复制详细信息 takes them all.
  Run(CmdCopyBusinessId);
  EXPECT_EQ(ReadClipboard().wide, rows[3][1]);
  Run(CmdCopyDetails);
  const std::wstring details = ReadClipboard().wide;
  EXPECT_EQ(details.find(L"业务标识：" + rows[0][1]), 0u);
  EXPECT_NE(details.find(L"\r\n\r\n业务标识：" + rows[1][1]), std::wstring::npos);
  EXPECT_NE(details.find(L"\r\n\r\n业务标识：" + rows[3][1]), std::wstring::npos);

  // 选择即将到期的机器: exactly the expired one and those expiring in 2 and 5 days.
  portal.Set("expiry_soon=1");
  Run(CmdRefresh);
  ASSERT_TRUE(WaitLoaded());
  Run(CmdSelectExpiring);
  std::vector<std::wstring> expiring;
  const std::vector<Row> reloaded = Rows();
  for (int line : SelectedLines(list)) expiring.push_back(reloaded[line][1]);
  EXPECT_EQ(expiring, (std::vector<std::wstring>{L"QX000001", L"QX000002", L"QX000003"}));
}

TEST_F(MachineCommandsTest, CopiesPutTheGbkTextAndItsUnicodeOnTheClipboard) {
  ASSERT_TRUE(OpenMain());
  const std::vector<Row> rows = Rows();
  // Line 0 is on a dial-up line (broadband columns filled), line 1 is not.
  ASSERT_FALSE(rows[0][7].empty());
  ASSERT_TRUE(rows[1][7].empty());
  // Line 1's password is "Qx15838&amp;C" in the page: the list, and so each
  // copy, holds what the portal meant.
  ASSERT_EQ(rows[1][6], L"Qx15838&C");

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

  // A clipboard that another program keeps open: the copy says it failed.
  PutOnClipboard(L"before");
  ASSERT_TRUE(WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 5000));
  PostMessageW(main, WM_COMMAND, CmdCopySystemPassword, 0);
  const Box box = CloseBox();
  CloseClipboard();
  EXPECT_EQ(box.text, L"复制失败：剪贴板正被其他程序使用，请稍后再试");
  EXPECT_EQ(ReadClipboard().wide, L"before");
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

}  // namespace e2e
