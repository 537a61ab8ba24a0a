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

// Invalidates the whole window (as uncovering it would) and waits for its
// thread to paint it: true when the update region was empty again in time.
bool Repaints(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(kAnswerWithinMs);
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
  const bool inTime = WaitFor(open, static_cast<DWORD>(kAnswerWithinMs));
  if (!inTime && !WaitFor(open, 30000)) return false;
  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  return WaitFor([&] { return FindPopupMenu(program.pid()) == nullptr; }, 5000) && inTime;
}

using SlowPortalTest = LoggedInTest;

TEST_F(SlowPortalTest, WindowsAnswerRepaintAndOpenTheTrayMenuWhileRequestsTakeThreeSeconds) {
  portal.Set("latency_ms=3000");
  program = std::make_unique<Program>(portal);
  StallProbe probe(program->pid());

  // The login window shows while the version check runs; 登录 waits for it.
  HWND login = program->WaitLoginReady();
  ASSERT_TRUE(login) << program->DescribeWindows();

  probe.Step("login");
  LogInAsDemo(login);
  ASSERT_TRUE(WaitFor([&] { return Requests("//home/login/logout") == 1; }));
  EXPECT_TRUE(Repaints(login)) << "the login window did not repaint during the login";
  main = program->WaitWindowClass(kMainClass);
  ASSERT_TRUE(main) << program->DescribeWindows();

  // The creation sequence, while the first list page is on its way.
  probe.Step("main window load");
  ASSERT_TRUE(WaitFor([&] { return Requests("//user/cloud/menu/outstart") == 1; }, 60000));
  EXPECT_TRUE(Repaints(main)) << "no repaint while the main window loads";
  EXPECT_TRUE(TrayMenuOpens(*program, main)) << "no tray menu while the main window loads";
  ASSERT_TRUE(WaitFor([&] { return Loaded(main); }, 60000));

  // 刷新, while the member summary is on its way.
  probe.Step("refresh");
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(WaitFor([&] { return Requests("//user/members") == 2; }, 30000));
  EXPECT_TRUE(Repaints(main)) << "no repaint during the refresh";
  EXPECT_TRUE(TrayMenuOpens(*program, main)) << "no tray menu during the refresh";
  ASSERT_TRUE(WaitFor([&] { return Loaded(main); }, 60000));

  // 退出 while a list page is on its way, one that takes 10 s: the program
  // ends long before it.
  probe.Step("reload ended by exit");
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(WaitFor([&] { return Requests("//user/members") == 3; }, 30000));
  portal.Set("latency_ms=10000");
  ASSERT_TRUE(WaitFor([&] { return Requests("//user/cloud/menu/outstart") == 3; }, 30000));
  PostMessageW(main, WM_COMMAND, CmdTrayExit, 0);
  DWORD code = 1;
  EXPECT_TRUE(program->WaitExit(5000, &code)) << "still running 5 s after the tray menu's exit";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(AnsweredPromptly(probe.Take()));
}

}  // namespace
