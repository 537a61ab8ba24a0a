// MainWindow: the member summary, the notice line and the list of machines,
// the tray icon and the two popup menus.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <shlwapi.h>
// GDI+ (flat API) decodes the embedded contact picture.
#include <gdiplus.h>

#include <chrono>
#include <memory>
#include <type_traits>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/commands.h"
#include "app/config.h"
#include "app/flow_runner_win.h"
#include "app/machine_commands_win.h"
#include "app/menus_win.h"
#include "app/tray_win.h"
#include "app/win_util.h"
#include "app/windows.h"
#include "portal/machine_list.h"
#include "portal/version_check.h"
#include "web/fetch_page.h"
#include "web/pump.h"
#include "web/url.h"

namespace qx {
namespace {

constexpr wchar_t kClass[] = L"QarvexMainWindow";
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr int kContactPictureId = 2;  // RCDATA: the 92 × 22 PNG

struct ListColumn {
  const char* title;
  int width;
};
constexpr ListColumn kListColumns[kMachineColumnCount] = {
    {"序号", 40},      {"业务标识", 80},  {"备注", 100},     {"线路", 80},     {"远程IP", 200},
    {"系统账户", 90},  {"系统密码", 100}, {"宽带账户", 100}, {"宽带密码", 80}, {"开通时间", 130},
    {"到期时间", 130}, {"状态", 70},      {"vpsid", 0},
};

using Clock = std::chrono::steady_clock;
double MsSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Appends a line to the file named by QARVEX_TIMING_LOG, when set.
void TimingLog(const std::string& line) {
  DWORD n = GetEnvironmentVariableW(L"QARVEX_TIMING_LOG", nullptr, 0);
  if (n <= 1) return;
  std::wstring path(n, L'\0');
  path.resize(GetEnvironmentVariableW(L"QARVEX_TIMING_LOG", path.data(), n));
  UniqueHandle f(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return;
  std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(f.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string FormatMs(const char* name, double ms) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " %s=%.1f", name, ms);
  return buf;
}

// Owns a GDI object.
struct GdiObjectDeleter {
  void operator()(HGDIOBJ h) const {
    if (h) DeleteObject(h);
  }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

// The embedded PNG as a bitmap composed on `background`.
UniqueBitmap LoadPngResource(int id, COLORREF background) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!res) return nullptr;
  HGLOBAL loaded = LoadResource(module, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = SizeofResource(module, res);
  if (!data || !size) return nullptr;

  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return nullptr;
  HBITMAP result = nullptr;
  if (IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(data), size)) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream, &bitmap) == Gdiplus::Ok) {
      Gdiplus::ARGB argb = 0xFF000000u | (GetRValue(background) << 16) |
                           (GetGValue(background) << 8) | GetBValue(background);
      Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(bitmap, &result, argb);
      Gdiplus::DllExports::GdipDisposeImage(bitmap);
    }
    stream->Release();
  }
  Gdiplus::GdiplusShutdown(token);
  return UniqueBitmap(result);
}

struct MainWindow {
  HWND hwnd = nullptr;
  HWND memberName = nullptr, balance = nullptr, count = nullptr, notice = nullptr;
  HWND searchText = nullptr, list = nullptr, loadingLabel = nullptr, holder = nullptr;
  HWND contactPicture = nullptr;
  TrayIcon tray;
  UniqueBitmap contactBitmap;
  bool loading = false;  // a load runs: a second 刷新 is ignored until it ends
  FlowOwner flows;

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void RunCreationSequence();
  void RefreshMachineList();
  // The summary and the list, applied to the labels and the list.
  void LoadMemberSummaryIntoLabels();
  void LoadMachineListIntoList();
  void AppendRows(const std::vector<MachineRow>& rows);
  void ShowLoading(std::string_view text);
  void SetLabelText(HWND label, std::string_view text);
  void HideLoading();

  void OnCommand(int id, int code);
  void OnSearch();
  void OnListNotify(const NMHDR& hdr);
  void OnTray(LPARAM lp);
  void Restore();
  void OnAbout();
  HBRUSH OnLabelColour(HDC dc, HWND label);

  int RowCount() const { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
  int SelectedIndex() const {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         LVNI_SELECTED));
  }
  Text CellText(int row, int column) const;
};

MainWindow* g_main = nullptr;

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

  contactPicture = CreateChild(hwnd, L"STATIC", "", SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY, 1104,
                               8, 96, 24, IdMainContactPicture);
  contactBitmap = LoadPngResource(kContactPictureId, GetSysColor(COLOR_BTNFACE));
  if (contactBitmap)
    SendMessageW(contactPicture, STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(contactBitmap.get()));
  // A bitmap static sizes itself to its picture; keep the layout's box.
  SetWindowPos(contactPicture, nullptr, 1104, 8, 96, 24, SWP_NOZORDER | SWP_NOACTIVATE);

  list = CreateChild(hwnd, WC_LISTVIEWW, "",
                     LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP | WS_CLIPSIBLINGS,
                     0, 40, 1216, 456, IdMainList, WS_EX_CLIENTEDGE);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (int c = 0; c < kMachineColumnCount; ++c) {
    std::wstring title = Wide(kListColumns[c].title);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = title.data();
    col.cx = kListColumns[c].width;
    col.iSubItem = c;
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
  }

  loadingLabel = CreateChild(hwnd, L"STATIC", "", SS_CENTER | SS_CENTERIMAGE | WS_BORDER, 144, 88,
                             864, 240, IdMainLoadingLabel);
  ShowWindow(loadingLabel, SW_HIDE);

  // Below the client area: never seen; the joined list text passes through it.
  holder = CreateChild(hwnd, L"EDIT", "",
                       ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL, 16,
                       536, 48, 48, IdMainTextHolder);
  SendMessageW(holder, EM_SETLIMITTEXT, 0, 0);
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

void MainWindow::HideLoading() { ShowWindow(loadingLabel, SW_HIDE); }

// The creation sequence, run once the window is on the screen so that the
// loading text shows while the pages load. Requests and the row cutting
// process window messages, so the window can be gone after any step.
void MainWindow::RunCreationSequence() {
  const auto t0 = Clock::now();
  loading = true;
  CloseLoginWindow();
  WriteWholeFile(Text(kDataDir) + "qp.ini", "全屏：1真");  // windowed is the default again
  ShowLoading("列表加载中,请稍后");
  tray.Place(hwnd);

  const double setupMs = MsSince(t0);

  auto t = Clock::now();
  Text page = BytesToText(FetchPage(NoticePageUrl()));  // GBK as it comes
  if (!hwnd) return;
  SetLabelText(notice, NoticeLine(page));
  const double noticeMs = MsSince(t);

  t = Clock::now();
  LoadMemberSummaryIntoLabels();
  if (!hwnd) return;
  const double summaryMs = MsSince(t);
  LoadMachineListIntoList();
  if (!hwnd) return;
  HideLoading();
  loading = false;
  TimingLog("created" + FormatMs("setup_ms", setupMs) + FormatMs("notice_ms", noticeMs) +
            FormatMs("summary_ms", summaryMs) + FormatMs("total_ms", MsSince(t0)) +
            " rows=" + std::to_string(RowCount()));
}

void MainWindow::RefreshMachineList() {
  if (loading) return;  // the running load fills the list
  loading = true;
  const auto t0 = Clock::now();
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  ShowLoading("更新列表中请稍后！");
  ResponsiveWait(1000);
  if (!hwnd) return;
  LoadMemberSummaryIntoLabels();
  if (!hwnd) return;
  LoadMachineListIntoList();
  if (!hwnd) return;
  HideLoading();
  loading = false;
  TimingLog("refreshed" + FormatMs("total_ms", MsSince(t0)) + " rows=" +
            std::to_string(RowCount()));
}

void MainWindow::LoadMemberSummaryIntoLabels() {
  MemberSummary m = LoadMemberSummary(PortalBaseUrl());
  if (!hwnd) return;
  SetLabelText(memberName, m.name);
  SetLabelText(balance, m.balance);
}

void MainWindow::LoadMachineListIntoList() {
  ListLoadTimings timings;
  MachineListPages pages = LoadMachineList(PortalBaseUrl(), &timings);
  if (!hwnd) return;
  SetLabelText(count, CountLabelText(pages.countText));

  auto t = Clock::now();
  SetWindowTextGbk(holder, pages.joined);
  const double holderSetMs = MsSince(t);
  t = Clock::now();
  const Text joined = GetWindowTextGbk(holder);
  const double holderGetMs = MsSince(t);

  t = Clock::now();
  std::vector<MachineRow> rows = MachineRowsFromText(joined, [] { PumpMessages(); });
  const double cutMs = MsSince(t);
  if (!hwnd) return;

  t = Clock::now();
  AppendRows(rows);
  const double fillMs = MsSince(t);
  TimingLog("list" + FormatMs("requests_ms", timings.requestMs) +
            FormatMs("convert_ms", timings.convertMs) + FormatMs("holder_set_ms", holderSetMs) +
            FormatMs("holder_get_ms", holderGetMs) +
            FormatMs("cut_ms", cutMs) + FormatMs("fill_ms", fillMs) +
            " bytes=" + std::to_string(joined.size()) + " rows=" + std::to_string(rows.size()));
}

void MainWindow::AppendRows(const std::vector<MachineRow>& rows) {
  if (rows.empty()) return;
  const int base = RowCount();
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_SETITEMCOUNT, base + static_cast<int>(rows.size()),
               LVSICF_NOINVALIDATEALL);
  for (size_t i = 0; i < rows.size(); ++i) {
    std::wstring text = Wide(rows[i][0]);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = base + static_cast<int>(i);
    item.pszText = text.data();
    const int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0,
                                                 reinterpret_cast<LPARAM>(&item)));
    if (at < 0) continue;
    for (int c = 1; c < kMachineColumnCount; ++c) {
      if (rows[i][c].empty()) continue;
      text = Wide(rows[i][c]);
      LVITEMW sub{};
      sub.iSubItem = c;
      sub.pszText = text.data();
      SendMessageW(list, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
    }
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

Text MainWindow::CellText(int row, int column) const {
  // LVM_GETITEMTEXT answers with the length copied; grow until it fits.
  std::wstring buf(256, L'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf.data();
    item.cchTextMax = static_cast<int>(buf.size());
    const auto n = static_cast<size_t>(
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    if (n + 1 < buf.size()) {
      buf.resize(n);
      return Narrow(buf);
    }
    buf.resize(buf.size() * 4);
  }
}

void MainWindow::OnSearch() {
  const Text wanted = GetWindowTextGbk(searchText);
  const int n = RowCount();
  for (int i = 0; i < n; ++i) {
    if (!AddressMatches(CellText(i, ColRemoteAddress), wanted)) continue;
    SetFocus(list);
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    LVITEMW select{};
    select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&select));
    return;
  }
}

void MainWindow::OnListNotify(const NMHDR& hdr) {
  if (hdr.code == NM_DBLCLK) return ConnectSelectedMachine();
  if (hdr.code != NM_RCLICK) return;
  // Only a selected line gets the context menu.
  if (SelectedIndex() < 0) return;
  UniqueMenu menu = BuildPopupMenu(ListMenuEntries(), [this](int command) {
    return command == CmdRefresh && loading;
  });
  PopupMenuAtCursor(hwnd, menu.get());
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

void MainWindow::OnAbout() {
  MessageBoxGbk("QARVEX挂机宝管理终端\r\n版本：" + std::to_string(kOwnVersion), "信息：");
}

void MainWindow::OnCommand(int id, int code) {
  if (id >= CmdConnect && !MenuCommandReady(id)) return;  // not built yet
  if (RunMachineCommand(id)) return;
  switch (id) {
    case IdMainSearchButton: OnSearch(); return;
    case IdMainPortalButton: ShellOpen(PortalBaseUrl() + "//"); return;
    case IdMainContactPicture:
      if (code == STN_CLICKED) ShellOpen(ContactUrl());
      return;
    case CmdRefresh: RefreshMachineList(); return;
    case CmdBuyVps: ShellOpen(PortalBaseUrl() + "//business/tarn/gxip.html"); return;
    case CmdContact: ShellOpen(ContactUrl()); return;
    case CmdAbout: OnAbout(); return;
    case CmdTrayOpen: Restore(); return;
    case CmdTrayWebsite: ShellOpen(WebsiteUrl()); return;
    case CmdTrayExit: DestroyWindow(hwnd); return;
  }
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
      CreateControls();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr->idFrom == IdMainList) OnListNotify(*hdr);
      break;
    }
    case WM_CTLCOLORSTATIC:
      if (HBRUSH b = OnLabelColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)))
        return reinterpret_cast<LRESULT>(b);
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == contactPicture) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case kTrayMessage:
      OnTray(lp);
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
  static MainWindow window;  // lives as long as the program
  if (window.hwnd) return window.hwnd;
  g_main = &window;
  Text caption = "QARVEX挂机宝管理终端       官网：" + UrlHost(WebsiteUrl());
  HWND h = CreateTopWindow(kClass, caption, WS_OVERLAPPEDWINDOW & ~WS_THICKFRAME & ~WS_MAXIMIZEBOX,
                           50, 50, 1208, 519, &window);
  if (!h) return nullptr;
  ShowWindow(h, SW_SHOW);
  UpdateWindow(h);
  window.RunCreationSequence();
  return h;
}

HWND MainWindowHandle() { return g_main ? g_main->hwnd : nullptr; }

const FlowOwner& MainWindowFlows() {
  static FlowOwner none;
  return g_main ? g_main->flows : none;
}

void RefreshMainList() {
  if (g_main && g_main->hwnd) g_main->RefreshMachineList();
}

std::optional<Text> SelectedRowColumn(int n) {
  if (!g_main || !g_main->hwnd) return std::nullopt;
  const int row = g_main->SelectedIndex();
  if (row < 0) return std::nullopt;
  return g_main->CellText(row, n);
}

}  // namespace qx
