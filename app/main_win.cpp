// Start-up: the login window first; the program ends with its last window.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <string>

#include "app/certificate_prompt_win.h"
#include "app/top_windows.h"
#include "app/window_util_win.h"
#include "base/flow_runner_win.h"
#include "base/handles_win.h"
#include "base/timing.h"
#include "portal/control_panel_flow_win.h"
#include "remote/rdp_win.h"
#include "remote/ssh_launch_win.h"

namespace {

// At the end, a PuTTY started in the last moments gets this long to read its
// password file before the file goes.
constexpr unsigned long kPuttyReadsAtEndMs = 2000;
// How long the end waits for the workers to come back from their requests.
constexpr unsigned long kWorkersEndMs = 500;

// QARVEX_TIMING_LOG names a file that gets one line per flow step timing.
void StartTimingLog() {
  const std::wstring path = qx::EnvironmentValue(L"QARVEX_TIMING_LOG");
  if (path.empty()) return;
  qx::SetTimingSink([path](std::string_view line) {
    qx::UniqueHandle f(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return;
    std::string text(line);
    text += "\r\n";
    DWORD written = 0;
    WriteFile(f.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  });
}

// The UI font's Chinese and Latin glyphs, the message boxes' font and icons.
void WarmUpFonts() {
  qx::UniqueDc dc;
  qx::UniqueBitmap canvas;
  {
    const qx::WindowDc screen = qx::WindowDc::Client(nullptr);
    dc.reset(CreateCompatibleDC(screen.get()));
    canvas.reset(CreateCompatibleBitmap(screen.get(), 480, 48));
  }
  const qx::SelectedObject selectedCanvas(dc.get(), canvas.get());
  const qx::SelectedObject uiFont(dc.get(), qx::UiFont());
  RECT r{0, 0, 480, 48};
  DrawTextW(dc.get(), L"QARVEX\x6302\x673A\x5B9D\x7BA1\x7406\x7EC8\x7AEF 0123456789 abcXYZ", -1, &r,
            DT_SINGLELINE);
  const qx::SelectedObject guiFont(dc.get(), GetStockObject(DEFAULT_GUI_FONT));
  DrawTextW(dc.get(), L"QARVEX\x6302\x673A\x5B9D", -1, &r, DT_SINGLELINE);
  // The message boxes' font and icons: a failure box then opens quickly.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    const qx::UniqueFont boxFont(CreateFontIndirectW(&metrics.lfMessageFont));
    const qx::SelectedObject selectedBoxFont(dc.get(), boxFont.get());
    DrawTextW(dc.get(), L"\x4FE1\x606F\xFF1A\x64CD\x4F5C\x5931\x8D25 OK", -1, &r, DT_SINGLELINE);
  }
  for (const wchar_t* icon : {IDI_ERROR, IDI_WARNING, IDI_INFORMATION, IDI_QUESTION})
    LoadIconW(nullptr, icon);
}

// What the first window's turns would otherwise load on the way (the UI
// font's Chinese and Latin glyphs, the icons, the edit and button classes)
// is loaded before any window exists, so that the login window answers from
// the moment it is there.
void WarmUpDrawing() {
  WarmUpFonts();
  qx::ProgramIcon(GetSystemMetrics(SM_CXSMICON));
  qx::ProgramIcon(GetSystemMetrics(SM_CXICON));
  if (HWND holder = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr)) {
    for (const wchar_t* cls : {L"EDIT", L"BUTTON", L"STATIC"})
      CreateWindowExW(0, cls, L"", WS_CHILD, 0, 0, 1, 1, holder, nullptr, GetModuleHandleW(nullptr),
                      nullptr);
    DestroyWindow(holder);
  }
}

// One message through the main window's keys, dialog keys, then its window.
void Dispatch(MSG& msg) {
  HWND top = GetAncestor(msg.hwnd, GA_ROOT);
  if (HWND main = qx::MainWindowHandle();
      main && top == main && TranslateAcceleratorW(main, qx::MainWindowAccelerators(), &msg))
    return;
  if (top && IsDialogMessageW(top, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

void qx::SweepLeftoverSecrets(unsigned long waitMs) {
  SweepConnectionFiles();
  SweepPasswordFiles(waitMs);
  RemoveControlPanelResult();
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  StartTimingLog();
  qx::RegisterLoginWindow();
  qx::RegisterMainWindow();
  qx::StartFlowRunner();
  // What an earlier run could not delete (it crashed or was ended), beside
  // the start.
  qx::QueueOnLane(qx::Lane::OtherHost, [] { qx::SweepLeftoverSecrets(0); });
  qx::InstallCertificatePrompt();
  qx::TimingLine opening("login_window_opened");
  WarmUpDrawing();
  opening.Lap("warm_up");
  if (!qx::OpenLoginWindow()) return 1;
  opening.Total();
  opening.Report();

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    const ULONGLONG start = GetTickCount64();
    Dispatch(msg);
    // A turn long enough to be felt goes to the timing log.
    if (const ULONGLONG ms = GetTickCount64() - start; ms >= qx::kLongTurnMs) {
      qx::TimingLine turn("long_turn");
      turn.Add("ms", static_cast<long long>(ms));
      turn.Add("message", msg.message);
      wchar_t cls[64] = {};
      if (msg.hwnd) GetClassNameW(msg.hwnd, cls, 64);
      turn.Add("class", qx::Narrow(cls));
      // A key message's wParam is the key or the character typed, perhaps
      // into the password box: it stays out of the log.
      const bool key = (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                       msg.message == WM_IME_CHAR || msg.message == WM_IME_COMPOSITION ||
                       msg.message == WM_HOTKEY;
      if (!key) turn.Add("wparam", static_cast<long long>(msg.wParam));
      turn.Add("of_main", msg.hwnd && GetAncestor(msg.hwnd, GA_ROOT) == qx::MainWindowHandle());
      turn.Report();
    }
  }
  // Every way out comes here once its windows are gone (the main window
  // closed, the login window closed or ended on a new version): the workers
  // are told to stop, the files swept, and WinMain returns. A request still
  // stalling on a slow line must not hold up the end: a worker that has not
  // come back within the bound is left to TerminateProcess, the last resort,
  // which the timing log records. A crash leaves the files to the next start.
  const UINT code = static_cast<UINT>(msg.wParam);
  const bool stopped = qx::StopFlowRunner(kWorkersEndMs);
  qx::SweepLeftoverSecrets(kPuttyReadsAtEndMs);
  if (!stopped) {
    qx::TimingLine forced("forced_end");
    forced.Add("waited_ms", static_cast<long long>(kWorkersEndMs));
    forced.Report();
    TerminateProcess(GetCurrentProcess(), code);
  }
  return static_cast<int>(code);
}
