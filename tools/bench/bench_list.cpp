// Times the main window's load of 2,000 machines, driving the real program
// against the demo portal (run under Wine by hand):
//
//   python3 tools/demo-portal/demo_portal.py --port 18080 &
//   wine build/win/tools/bench/bench_list.exe http://127.0.0.1:18080 3 Z:\path\to\qarvex.exe
//
// The bench sets the portal to 2,000 machines, 100 ms per request and a
// remembered session, logs in once with the password, then for each run
// starts the program, presses 一键登录 and waits for the filled list. The
// program's own split (QARVEX_TIMING_LOG) is printed with each run.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/commands.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/driver_list.h"

using namespace e2e;
using namespace qx;  // control ids

namespace {

constexpr int kMachines = 2000;

bool WaitLoaded(const Program& program, HWND& main, DWORD timeoutMs) {
  main = program.WaitWindowClass(kMainClass, timeoutMs);
  if (!main) return false;
  HWND list = GetDlgItem(main, IdMainList);
  return WaitFor(
      [&] {
        return !IsWindowVisible(GetDlgItem(main, IdMainLoadingLabel)) &&
               !Text(GetDlgItem(main, IdMainCount)).empty() && ListItemCount(list) == kMachines;
      },
      timeoutMs);
}

void Close(Program& program, HWND main) {
  PostMessageW(main, WM_CLOSE, 0, 0);
  program.WaitExit(20000);
}

}  // namespace

int main(int argc, char** argv) {
  DemoPortal portal;
  portal.url = argc > 1 ? argv[1] : "http://127.0.0.1:18080";
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  if (argc > 3) SetEnvironmentVariableA("QARVEX_EXE", argv[3]);

  if (HttpGet(portal.url + "/__admin/state").empty()) {
    std::fprintf(stderr, "demo portal not reachable at %s\n", portal.url.c_str());
    return 2;
  }
  portal.Reset();
  portal.Set("machines=2000&latency_ms=100&remember=1");

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring logPath = std::wstring(temp) + L"qarvex-bench-timing.log";
  const std::vector<std::wstring> env = {L"QARVEX_TIMING_LOG=" + logPath};

  {  // Log in once with the password: the portal remembers the session.
    Program program(portal, env);
    HWND login = program.WaitLoginReady();
    if (!login) return 3;
    TypeText(GetDlgItem(login, IdLoginUser), L"demo");
    TypeText(GetDlgItem(login, IdLoginPassword), L"demo123");
    Click(GetDlgItem(login, IdLoginButton));
    HWND main = nullptr;
    if (!WaitLoaded(program, main, 180000)) {
      std::fprintf(stderr, "first login did not fill the list\n");
      return 4;
    }
    Close(program, main);
  }

  std::printf("%d machines, 100 ms per request; times in ms\n", kMachines);
  for (int run = 1; run <= runs; ++run) {
    DeleteFileW(logPath.c_str());
    Program program(portal, env);
    HWND login = program.WaitWindowClass(kLoginClass);
    HWND oneClick = login ? GetDlgItem(login, IdOneClickButton) : nullptr;
    if (!oneClick || !WaitFor([&] { return Enabled(oneClick); }, 30000)) {
      std::fprintf(stderr, "no live session: is remember=1 supported by the demo portal?\n");
      return 5;
    }
    const ULONGLONG t0 = GetTickCount64();
    Click(oneClick);
    HWND main = nullptr;
    const bool ok = WaitLoaded(program, main, 180000);
    const ULONGLONG total = GetTickCount64() - t0;
    std::printf("run %d: %s, one-click login to filled list %llu\n", run, ok ? "ok" : "FAILED",
                static_cast<unsigned long long>(total));
    std::string log = ReadFileBytes(logPath);
    std::fputs(log.c_str(), stdout);
    if (main) Close(program, main);
  }
  portal.Reset();
  return 0;
}
