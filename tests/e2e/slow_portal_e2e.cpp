// A slow line: every request to the portal and the notice page takes 3 s.
// Throughout the start, the login, the main window's load and a reload the
// program's windows keep answering, repaint when uncovered and open the tray
// menu; 退出 in the middle of a load ends the program at once.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/commands.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/driver_list.h"

using namespace e2e;
using namespace qx;  // control and command ids

namespace {

constexpr double kAnswerMs = 100;  // the longest a window may take to answer a probe
constexpr DWORD kRepaintMs = 250;  // from invalidated to painted
constexpr DWORD kMenuMs = 1000;    // from the tray click to the open menu

// Invalidates the whole window (as uncovering it would) and waits for its
// thread to paint it: true when the update region was empty again in time.
bool Repaints(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  const ULONGLONG end = GetTickCount64() + kRepaintMs;
  for (;;) {
    if (!GetUpdateRect(window, nullptr, FALSE)) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(5);
  }
}

// A right click on the tray icon opens the tray menu in time; Escape closes
// it (a menu that opens late is closed all the same, so the test goes on).
bool TrayMenuOpens(const Program& program, HWND main) {
  PostMessageW(main, kTrayMessage, 1, WM_RBUTTONUP);
  HWND menu = nullptr;
  auto open = [&] { return (menu = FindPopupMenu(program.pid())) != nullptr; };
  const bool inTime = WaitFor(open, kMenuMs);
  if (!inTime && !WaitFor(open, 30000)) return false;
  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  return WaitFor([&] { return FindPopupMenu(program.pid()) == nullptr; }, 5000) && inTime;
}

bool Loaded(HWND main) {
  return !IsWindowVisible(GetDlgItem(main, IdMainLoadingLabel)) &&
         !Text(GetDlgItem(main, IdMainCount)).empty();
}

class SlowPortalTest : public PortalTest {
 protected:
  size_t Requests(const std::string& pathPrefix) const {
    return portal.LogLines(pathPrefix).size();
  }
};

TEST_F(SlowPortalTest, WindowsAnswerRepaintAndOpenTheTrayMenuWhileRequestsTakeThreeSeconds) {
  portal.Set("latency_ms=3000");
  Program program(portal);
  StallProbe probe(program.pid(), 20);
  auto expectAnswered = [&](const char* phase) {
    const StallProbe::Worst worst = probe.Take();
    EXPECT_GT(worst.probes, 0) << phase;
    EXPECT_LT(worst.ms, kAnswerMs)
        << phase << ": no answer for " << worst.ms << " ms, " << worst.where;
  };

  // The login window shows while the version check runs; 登录 waits for it.
  HWND login = program.WaitLoginReady();
  ASSERT_TRUE(login) << program.DescribeWindows();
  expectAnswered("start");

  TypeText(GetDlgItem(login, IdLoginUser), L"demo");
  TypeText(GetDlgItem(login, IdLoginPassword), L"demo123");
  Click(GetDlgItem(login, IdLoginButton));
  ASSERT_TRUE(WaitFor([&] { return Requests("//home/login/logout") == 1; }));
  EXPECT_TRUE(Repaints(login)) << "the login window did not repaint during the login";
  HWND main = program.WaitWindowClass(kMainClass);
  ASSERT_TRUE(main) << program.DescribeWindows();
  expectAnswered("login");

  // The creation sequence, while the first list page is on its way.
  ASSERT_TRUE(WaitFor([&] { return Requests("//user/cloud/menu/outstart") == 1; }, 60000));
  EXPECT_TRUE(Repaints(main)) << "no repaint while the main window loads";
  EXPECT_TRUE(TrayMenuOpens(program, main)) << "no tray menu while the main window loads";
  ASSERT_TRUE(WaitFor([&] { return Loaded(main); }, 60000));
  expectAnswered("main window load");

  // 刷新, while the member summary is on its way.
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(WaitFor([&] { return Requests("//user/members") == 2; }, 30000));
  EXPECT_TRUE(Repaints(main)) << "no repaint during the refresh";
  EXPECT_TRUE(TrayMenuOpens(program, main)) << "no tray menu during the refresh";
  ASSERT_TRUE(WaitFor([&] { return Loaded(main); }, 60000));
  expectAnswered("refresh");

  // 退出 while a list page is on its way.
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(WaitFor([&] { return Requests("//user/cloud/menu/outstart") == 3; }, 30000));
  PostMessageW(main, WM_COMMAND, CmdTrayExit, 0);
  DWORD code = 1;
  EXPECT_TRUE(program.WaitExit(2000, &code)) << "still running 2 s after the tray menu's exit";
  EXPECT_EQ(code, 0u);
  expectAnswered("reload ended by exit");
}

}  // namespace
