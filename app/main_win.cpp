// Start-up: the login window first; the program ends with its last window.
#include <windows.h>
#include <commctrl.h>

#include "app/flow_runner_win.h"
#include "app/windows.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  qx::RegisterLoginWindow();
  qx::RegisterMainWindow();
  qx::StartFlowRunner();
  if (!qx::OpenLoginWindow()) return 1;

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    HWND top = GetAncestor(msg.hwnd, GA_ROOT);
    if (top && IsDialogMessageW(top, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // A request still stalling on a slow line must not hold up the end.
  if (!qx::StopFlowRunner(500)) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(msg.wParam));
  return static_cast<int>(msg.wParam);
}
