// MainWindow: the member summary, the notice line and the list of machines,
// the tray icon and the two popup menus.
#include "app/main_window_win.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "app/commands.h"
#include "app/main_commands_win.h"
#include "app/menus_win.h"
#include "app/picture_win.h"
#include "app/skins_win.h"
#include "app/top_windows.h"
#include "app/window_placement_win.h"
#include "app/window_util_win.h"
#include "base/config.h"
#include "base/timing.h"
#include "portal/machine_list_flow_win.h"
#include "portal/version_check_flow_win.h"
#include "remote/putty_image_win.h"
#include "web/url.h"

namespace qx {
namespace {

constexpr wchar_t kClass[] = L"QarvexMainWindow";
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);

MainWindow* g_main = nullptr;

}  // namespace

void MainWindow::CreateControls() {
  const DWORD label = SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX;
  CreateChild(hwnd, L"STATIC", "用户名：", label, 8, 0, 56, 40, IdMainUserCaption);
  memberName = CreateChild(hwnd, L"STATIC", "", label, 56, 0, 70, 40, IdMainMemberName);
  CreateChild(hwnd, L"STATIC", "余额：", label, 144, 0, 56, 40, IdMainBalanceCaption);
  balance = CreateChild(hwnd, L"STATIC", "", label, 184, 0, 60, 40, IdMainBalance);
  CreateChild(hwnd, L"STATIC", "VPS数量：", label, 264, 0, 56, 40, IdMainCountCaption);
  count = CreateChild(hwnd, L"STATIC", "", label, 320, 0, 56, 40, IdMainCount);
  notice = CreateChild(hwnd, L"STATIC", "", label, 360, 8, 448, 24, IdMainNotice);
  CreateChild(hwnd, L"STATIC", "IP/端口：", label, 803, 0, 56, 40, IdMainSearchCaption);
  searchText = CreateChild(hwnd, L"EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, 859, 8, 144, 24,
                           IdMainSearchText, WS_EX_CLIENTEDGE);
  CreateChild(hwnd, L"BUTTON", "搜索", BS_PUSHBUTTON | WS_TABSTOP, 1011, 8, 40, 24,
              IdMainSearchButton);
  CreateChild(hwnd, L"BUTTON", "官网", BS_PUSHBUTTON | WS_TABSTOP, 1059, 8, 40, 24,
              IdMainPortalButton);

  contactPicture = CreateChild(hwnd, L"STATIC", "", SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY, 1104, 8,
                               96, 24, IdMainContactPicture);
  LoadContactPicture();

  view.Create(hwnd, 0, 40, 1216, 456, IdMainList);

  loadingLabel =
      CreateChild(hwnd, L"STATIC", "", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | WS_BORDER, 144,
                  88, 864, 240, IdMainLoadingLabel);
  ShowWindow(loadingLabel, SW_HIDE);

  // Below the client area, never seen: kept from the layout, the list text
  // no longer passes through it.
  holder = CreateChild(hwnd, L"EDIT", "",
                       ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL, 16,
                       536, 48, 48, IdMainTextHolder);
  SendMessageW(holder, EM_SETLIMITTEXT, 0, 0);
}

// The picture is composed on a worker and shown when ready.
void MainWindow::LoadContactPicture() {
  RunFlow(
      Lane::OtherHost, flows,
      [background = GetSysColor(COLOR_BTNFACE)] {
        return std::make_shared<UniqueBitmap>(LoadPicture(kContactPictureId, background));
      },
      [this](std::shared_ptr<UniqueBitmap>& bitmap) {
        contactBitmap = std::move(*bitmap);
        if (contactBitmap)
          SendMessageW(contactPicture, STM_SETIMAGE, IMAGE_BITMAP,
                       reinterpret_cast<LPARAM>(contactBitmap.get()));
        // A bitmap static sizes itself to its picture; keep the layout's box.
        SetWindowPos(contactPicture, nullptr, Scale(1104), Scale(8), Scale(96), Scale(24),
                     SWP_NOZORDER | SWP_NOACTIVATE);
      });
}

void MainWindow::ShowLoading(std::string_view text) {
  SetWindowTextGbk(loadingLabel, text);
  SetWindowPos(loadingLabel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  UpdateWindow(loadingLabel);
}

// The labels on the window background are drawn without a background of
// their own (they overlap in the layout), so a new text needs the window
// background under the label painted again first.
void MainWindow::SetLabelText(HWND label, std::string_view text) {
  SetWindowTextGbk(label, text);
  RECT r;
  GetWindowRect(label, &r);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
  RedrawWindow(hwnd, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MainWindow::NoteWork(bool queued) {
  if (!queued) {
    if (pendingWork > 0 && --pendingWork == 0) ShowWorking(false);
    return;
  }
  // Work behind other work waits at once; alone it shows after a second.
  const bool waits = LaneBusy(Lane::Portal);
  ++pendingWork;
  if (waits) return ShowWorking(true);
  RunLater(flows, 1000, [this, serial = ++workSerial] {
    if (serial == workSerial && pendingWork > 0) ShowWorking(true);
  });
}

void MainWindow::ShowWorking(bool on) {
  if (!on) ++workSerial;  // a pending check for finished work shows nothing
  if (working == on) return;
  working = on;
  ShowCount();
  // The cursor over the list changes with its next move; this one shows now.
  POINT p;
  if (GetCursorPos(&p) && WindowFromPoint(p) == view.list)
    SetCursor(LoadCursorW(nullptr, on ? IDC_APPSTARTING : IDC_ARROW));
}

// The count, or "正在处理…" while work is shown. The label grows to its text
// ("0台（第2页读取失败）" is longer than the layout's box) and the notice line
// starts after it.
void MainWindow::ShowCount() {
  SetLabelText(count, !progressText.empty() ? progressText
                      : working             ? Text("正在处理…")
                                            : countText);
  const std::wstring text = Wide(GetWindowTextGbk(count));
  SIZE size{};
  {
    WindowDc dc = WindowDc::Client(count);
    SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(count, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
  }
  const int width = std::max<int>(Scale(56), size.cx + Scale(4));
  SetWindowPos(count, nullptr, 0, 0, width, Scale(40), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The layout lets the notice overlap the count box's empty end; only text pushes it.
  const int noticeLeft = std::max(Scale(360), Scale(320) + static_cast<int>(size.cx) + Scale(4));
  SetWindowPos(notice, nullptr, noticeLeft, Scale(8), Scale(360 + 448) - noticeLeft, Scale(24),
               SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MainWindow::HideLoading() { ShowWindow(loadingLabel, SW_HIDE); }

// The creation sequence. The requests go out first, on the workers, so that
// the pages are on their way while the window shows itself; the window's own
// steps follow in their order in short turns of the window thread (see
// OpenMainWindow), so that it keeps answering. Results arrive as messages and
// are applied in the order the portal answered.
void MainWindow::RunCreationSequence() {
  loading = true;
  // putty.exe (a megabyte) is compared and written off the window thread. A
  // failed write is not reported: Linux远程 then finds no PuTTY and starts
  // nothing, and the next start tries again.
  QueueOnLane(Lane::OtherHost, [] { static_cast<void>(WritePuttyImage()); });
  // The notice page lives on another host: it loads beside the portal pages.
  RunFlow(
      Lane::OtherHost, flows, [url = NoticePageUrl()] { return FetchNoticeLine(url); },
      [this](Text& line) { SetLabelText(notice, line); });
  StartLoad("created");
  ShowLoading("列表加载中,请稍后");
}

// The rest of the creation, once the window is on the screen.
void MainWindow::FinishCreation() {
  CloseLoginWindow();
  AttachSkin(SkinChoice::Blue);
  // Windowed is the default again. When the file cannot be written the old
  // setting stays, and the resolution window shows it as it is.
  static_cast<void>(WriteWholeFile(DataFile("qp.ini"), "全屏：1真"));
  tray.Place(hwnd);
}

void MainWindow::RefreshMachineList() {
  if (loading) return;  // the running load fills the list
  loading = true;
  prober.Cancel();  // no result of the old list lands on the new one
  view.ShowRows({});
  ShowLoading("更新列表中请稍后！");
  RunLater(flows, 1000, [this] { StartLoad("refreshed"); });
}

void MainWindow::StartLoad(const char* what) {
  const Text base = PortalBaseUrl();
  RunFlow(
      Lane::Portal, flows, [base] { return LoadMemberSummary(base); },
      [this](MemberSummary& m) {
        SetLabelText(memberName, m.name);
        SetLabelText(balance, m.balance);
      });
  RunFlow(
      Lane::Portal, flows, [base] { return LoadMachineList(base); },
      [this, what, timing = std::make_shared<TimingLine>(what)](MachineListLoad& load) {
        countText = CountLabelText(load.countText, load.failedPages);
        ShowCount();
        view.ShowRows(std::move(load.rows));
        HideLoading();
        loading = false;
        timing->Total();
        timing->Add("rows", view.RowCount());
        expiryBalloon.Offer(view, tray);  // its timing line comes before the load's
        timing->Report();
        ProbeMachines();
      });
}

void MainWindow::ProbeMachines() {
  if (loading) return;
  std::vector<ProbeTarget> targets;
  std::vector<int> rowOf;  // the target's row in the list
  std::vector<std::pair<int, int>> start;
  for (int r = 0; r < view.RowCount(); ++r) {
    auto target = ProbeTargetOf(view.rows[static_cast<size_t>(r)][ColRemoteAddress]);
    start.emplace_back(r, target ? kLatencyProbing : kLatencyNotProbed);
    if (!target) continue;
    targets.push_back(std::move(*target));
    rowOf.push_back(r);
  }
  view.SetLatencies(start);
  auto timing = std::make_shared<TimingLine>("probed");
  auto left = std::make_shared<size_t>(targets.size());
  prober.Start(std::move(targets), flows.Token(),
               [this, rowOf = std::move(rowOf), timing, left](const ProbeBatch& batch) {
                 std::vector<std::pair<int, int>> changed;
                 changed.reserve(batch.size());
                 for (const ProbeResult& r : batch)
                   changed.emplace_back(rowOf[static_cast<size_t>(r.index)], r.latency);
                 view.SetLatencies(changed);
                 *left -= std::min(*left, batch.size());
                 if (*left) return;
                 timing->Total();
                 timing->Add("machines", static_cast<long long>(rowOf.size()));
                 timing->Report();
               });
}

void MainWindow::OnCreate() {
  CreateControls();
  RECT w, c;
  GetWindowRect(hwnd, &w);
  GetClientRect(hwnd, &c);
  minWindow = {w.right - w.left, w.bottom - w.top};
  designClient = {c.right, c.bottom};
  GetWindowRect(view.list, &designList);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&designList), 2);
}

// The list takes the room the window gains; the top bar stays as laid out.
void MainWindow::OnSize(int width, int height) {
  if (!view.list || width <= 0 || height <= 0) return;
  const int listW = width <= designClient.cx
                        ? designList.right - designList.left
                        : std::max<int>(width, designList.right - designList.left);
  const int bottomMargin = designClient.cy - designList.bottom;
  const int listH =
      std::max<int>(designList.bottom - designList.top, height - bottomMargin - designList.top);
  SetWindowPos(view.list, nullptr, 0, 0, listW, listH, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnDestroy() {
  SavePlacement(hwnd);
  prober.Cancel();
  flows.Revoke();  // what still runs for this window is dropped
  tray.Remove();
  PostQuitMessage(0);
}

void MainWindow::OnTray(LPARAM lp) {
  switch (TrayIcon::EventKind(lp)) {
    case 1:
      Restore();
      break;
    case 3: {
      UniqueMenu menu = BuildPopupMenu(TrayMenuEntries());
      PopupMenuAtCursor(hwnd, menu.get());
      break;
    }
    case 4:
      Restore();
      SetForegroundWindow(hwnd);
      expiryBalloon.ShowMachines(view);
      break;
  }
}

void MainWindow::Restore() {
  ShowWindow(hwnd, SW_SHOW);
  if (IsIconic(hwnd) || IsZoomed(hwnd)) ShowWindow(hwnd, SW_RESTORE);
  RECT r;
  GetWindowRect(hwnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  if (r.left != x || r.top != y)
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  tray.Place(hwnd);
}

HBRUSH MainWindow::OnLabelColour(HDC dc, HWND label) {
  const int id = GetDlgCtrlID(label);
  if (id == IdMainLoadingLabel || id == IdMainContactPicture) return nullptr;  // not transparent
  SetBkMode(dc, TRANSPARENT);
  if (id == IdMainMemberName || id == IdMainBalance || id == IdMainCount)
    SetTextColor(dc, kRed);
  else if (id == IdMainNotice)
    SetTextColor(dc, kBlue);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (tray.HandleTaskbarCreated(msg)) return 0;
  switch (msg) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_SIZE:
      OnSize(LOWORD(lp), HIWORD(lp));
      break;
    case WM_GETMINMAXINFO:
      if (minWindow.cx)
        reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = {minWindow.cx, minWindow.cy};
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) != view.list) break;
      OpenListMenu(*this, lp);
      return 0;
    case WM_COMMAND:
      RouteMainCommand(*this, LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_NOTIFY: {
      auto& hdr = *reinterpret_cast<NMHDR*>(lp);
      if (hdr.idFrom != IdMainList) break;
      if (LRESULT result; view.OnNotify(hdr, result)) return result;
      RouteListAction(hdr);
      break;
    }
    case WM_CTLCOLORSTATIC:
      if (HBRUSH b = OnLabelColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)))
        return reinterpret_cast<LRESULT>(b);
      break;
    case WM_SETCURSOR:
      if (working && reinterpret_cast<HWND>(wp) == view.list) {
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        return TRUE;
      }
      if (reinterpret_cast<HWND>(wp) != contactPicture) break;
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case kTrayMessage:
      OnTray(lp);
      return 0;
    case WM_ENDSESSION:
      // Windows ends the session: the process may end at any moment now.
      if (wp) SweepLeftoverSecrets(0);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterMainWindow() { RegisterWindowClass(kClass, WindowProcOf<MainWindow>); }

HWND OpenMainWindow() {
  static MainWindow window;  // lives as long as the program
  if (window.hwnd) return window.hwnd;
  g_main = &window;
  Text caption = "QARVEX挂机宝管理终端       官网：" + UrlHost(WebsiteUrl());
  HWND h = CreateTopWindow(kClass, caption, WS_OVERLAPPEDWINDOW, 50, 50, 1208, 519, &window);
  if (!h) return nullptr;
  window.RunCreationSequence();
  // Showing and the rest of the creation each get a turn of their own.
  PostToWindowThread(window.flows.Token(), [h] { ShowAtStoredPlacement(h); });
  PostToWindowThread(window.flows.Token(), [] { g_main->FinishCreation(); });
  return h;
}

HWND MainWindowHandle() { return g_main ? g_main->hwnd : nullptr; }

void NoteMainWindowWork(bool queued) {
  if (g_main) g_main->NoteWork(queued);
}

const FlowOwner& MainWindowFlows() {
  static FlowOwner none;
  return g_main ? g_main->flows : none;
}

void RefreshMainList() {
  if (g_main && g_main->hwnd) g_main->RefreshMachineList();
}

void ShowMainWindowProgress(std::string_view text) {
  if (!g_main || !g_main->hwnd) return;
  g_main->progressText = text;
  g_main->ShowCount();
}

std::vector<MachineRow> SelectedMachineRows() {
  std::vector<MachineRow> rows;
  if (!g_main || !g_main->hwnd) return rows;
  for (int line : g_main->view.SelectedLines()) rows.push_back(g_main->view.RowAt(line));
  return rows;
}

std::optional<Text> SelectedRowColumn(int n) {
  if (!g_main || !g_main->hwnd) return std::nullopt;
  const int row = g_main->view.SelectedIndex();
  if (row < 0) return std::nullopt;
  return g_main->view.CellText(row, n);
}

}  // namespace qx
