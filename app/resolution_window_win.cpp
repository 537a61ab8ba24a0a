// ResolutionWindow (分辨率设置): the Remote Desktop resolution and full screen.
// Modeless, at most one open.
#include "app/commands.h"
#include "app/top_windows.h"
#include "app/window_util_win.h"  // windows.h first
#include "remote/display_settings_win.h"

namespace qx {
namespace {

constexpr wchar_t kClass[] = L"QarvexResolutionWindow";
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct ResolutionWindow {
  HWND hwnd = nullptr;
  HWND width = nullptr, height = nullptr, state = nullptr;

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void ShowStoredSettings();
  void OnSet();
  void OnFullScreen();
};

ResolutionWindow g_window;  // at most one is open: its hwnd tells

void ResolutionWindow::CreateControls() {
  // The layout places the controls inside their group boxes; the boxes are
  // drawn behind them and the controls belong to the window.
  constexpr int g1x = 8, g1y = 8, g2x = 8, g2y = 104;
  CreateChild(hwnd, L"BUTTON", "远程桌面分辨率", BS_GROUPBOX, g1x, g1y, 360, 88, IdResSizeGroup);
  width = CreateChild(hwnd, L"EDIT", "1024", ES_AUTOHSCROLL | WS_TABSTOP, g1x + 32, g1y + 32, 88,
                      32, IdResWidth, WS_EX_CLIENTEDGE);
  CreateChild(hwnd, L"STATIC", "X", SS_LEFT | SS_NOPREFIX, g1x + 125, g1y + 32, 8, 32, IdResTimes);
  height = CreateChild(hwnd, L"EDIT", "768", ES_AUTOHSCROLL | WS_TABSTOP, g1x + 136, g1y + 31, 88,
                       32, IdResHeight, WS_EX_CLIENTEDGE);
  CreateChild(hwnd, L"BUTTON", "设置", BS_PUSHBUTTON | WS_TABSTOP, g1x + 232, g1y + 32, 120, 32,
              IdResSetButton);
  CreateChild(hwnd, L"BUTTON", "设置全屏", BS_GROUPBOX, g2x, g2y, 360, 72, IdResFullGroup);
  CreateChild(hwnd, L"STATIC", "全屏状态：", SS_LEFT | SS_NOPREFIX, g2x + 16, g2y + 24, 72, 32,
              IdResStateLabel);
  state = CreateChild(hwnd, L"EDIT", "", ES_AUTOHSCROLL | WS_DISABLED, g2x + 80, g2y + 24, 144, 32,
                      IdResState, WS_EX_CLIENTEDGE);
  CreateChild(hwnd, L"BUTTON", "开启全屏", BS_PUSHBUTTON | WS_TABSTOP, g2x + 232, g2y + 24, 120, 32,
              IdResFullButton);
}

void ResolutionWindow::ShowStoredSettings() {
  const ResolutionWindowStart start = ResolutionWindowOpening(ReadDisplaySettings());
  SetWindowTextGbk(state, start.stateText);
  // The rewrite only tidies a file that does not say full screen; when it
  // fails the file stays as it was, and 设置 writes it again.
  if (start.rewriteWindowed) static_cast<void>(WriteFullScreenSetting(false));
  SetWindowTextGbk(width, start.width);
  SetWindowTextGbk(height, start.height);
}

// A setting that could not be written is not reported as set: the failure
// box, and the window stays for another try.
void ResolutionWindow::OnSet() {
  const bool resolution = WriteResolutionSetting(GetWindowTextGbk(width), GetWindowTextGbk(height));
  const bool windowed = WriteFullScreenSetting(false);  // a resolution is for the windowed desktop
  if (!resolution || !windowed) return ShowActionFailed();
  MessageBoxGbk("分辨率设置成功", "系统提示：");
  if (hwnd) DestroyWindow(hwnd);
}

void ResolutionWindow::OnFullScreen() {
  if (!WriteFullScreenSetting(true)) return ShowActionFailed();
  SetWindowTextGbk(state, kFullScreenOnText);
  MessageBoxGbk("全屏开启成功", "系统提示：");
}

LRESULT ResolutionWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      CreateControls();
      ShowStoredSettings();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == IdResSetButton && HIWORD(wp) == BN_CLICKED) OnSet();
      if (LOWORD(wp) == IdResFullButton && HIWORD(wp) == BN_CLICKED) OnFullScreen();
      return 0;
    case WM_CTLCOLORSTATIC: {
      // The two labels are drawn on the window's background; "X" in blue.
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
      if (id != IdResTimes && id != IdResStateLabel) break;
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkMode(dc, TRANSPARENT);
      if (id == IdResTimes) SetTextColor(dc, kBlue);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void OpenResolutionWindow() {
  if (HWND open = g_window.hwnd) {
    if (IsIconic(open)) ShowWindow(open, SW_RESTORE);
    SetForegroundWindow(open);
    return;
  }
  static const bool registered =
      (RegisterWindowClass(kClass, WindowProcOf<ResolutionWindow>), true);
  (void)registered;
  g_window = ResolutionWindow{};
  if (HWND h = CreateTopWindow(kClass, "分辨率设置", kStyle, 50, 50, 382, 218, &g_window))
    ShowWindow(h, SW_SHOW);
}

}  // namespace qx
