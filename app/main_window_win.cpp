// MainWindow: the member summary and the list of machines.
#include "app/commands.h"
#include "app/config.h"
#include "app/tray_win.h"
#include "app/win_util.h"
#include "app/windows.h"
#include "web/url.h"

namespace qx {
namespace {

constexpr wchar_t kClass[] = L"QarvexMainWindow";

struct MainWindow {
  HWND hwnd = nullptr;
  TrayIcon tray;

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void OnCreate();
};

MainWindow* g_main = nullptr;

void MainWindow::OnCreate() {
  CloseLoginWindow();
  tray.Place(hwnd);
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (tray.HandleTaskbarCreated(msg)) return 0;
  switch (msg) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_DESTROY:
      tray.Remove();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void RegisterMainWindow() { RegisterWindowClass(kClass, WindowProcOf<MainWindow>); }

HWND OpenMainWindow() {
  static MainWindow window;
  g_main = &window;
  Text caption = "QARVEX挂机宝管理终端       官网：" + UrlHost(WebsiteUrl());
  HWND h = CreateTopWindow(kClass, caption, WS_OVERLAPPEDWINDOW & ~WS_THICKFRAME & ~WS_MAXIMIZEBOX,
                           50, 50, 1208, 519, &window);
  if (h) {
    ShowWindow(h, SW_SHOW);
    UpdateWindow(h);
  }
  return h;
}

HWND MainWindowHandle() { return g_main ? g_main->hwnd : nullptr; }

}  // namespace qx
