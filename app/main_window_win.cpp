// MainWindow: the member summary, the notice line and the list of machines,
// the tray icon and the two popup menus.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "app/commands.h"
#include "app/machine_commands_win.h"
#include "app/menus_win.h"
#include "app/picture_win.h"
#include "app/portal_commands_win.h"
#include "app/skins_win.h"
#include "app/top_windows.h"
#include "app/tray_win.h"
#include "app/window_util_win.h"
#include "base/config.h"
#include "base/flow_runner_win.h"
#include "base/handles_win.h"
#include "base/timing.h"
#include "portal/machine_list_flow_win.h"
#include "portal/machine_order.h"
#include "portal/version_check.h"
#include "portal/version_check_flow_win.h"
#include "remote/putty_image_win.h"
#include "remote/ssh_launch_win.h"
#include "web/url.h"

namespace qx {
namespace {

constexpr wchar_t kClass[] = L"QarvexMainWindow";
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);

struct ListColumn {
  const char* title;
  int width;
};
constexpr ListColumn kListColumns[kMachineColumnCount] = {
    {"序号", 40},      {"业务标识", 80},  {"备注", 100},     {"线路", 80},     {"远程IP", 200},
    {"系统账户", 90},  {"系统密码", 100}, {"宽带账户", 100}, {"宽带密码", 80}, {"开通时间", 130},
    {"到期时间", 130}, {"状态", 70},      {"vpsid", 0},
};

struct MainWindow {
  HWND hwnd = nullptr;
  HWND memberName = nullptr, balance = nullptr, count = nullptr, notice = nullptr;
  HWND searchText = nullptr, list = nullptr, loadingLabel = nullptr, holder = nullptr;
  HWND contactPicture = nullptr;
  TrayIcon tray;
  UniqueBitmap contactBitmap;
  bool loading = false;  // a load runs: a second 刷新 is ignored until it ends
  FlowOwner flows;
  // The machines, in page order; the list is virtual and draws from here.
  std::vector<MachineRow> rows;
  // The lines as shown: indices into `rows`, sorted by the chosen column
  // (none chosen: page order). A reload keeps the chosen order.
  std::vector<int> order;
  int sortColumn = -1;
  bool sortDescending = false;
  Text lastSearch;  // 搜索 again with the same text moves on to the next match
  // The design sizes: the window never gets smaller; the list takes new room.
  SIZE minWindow{}, designClient{};
  RECT designList{};

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void RunCreationSequence();
  void FinishCreation();
  void RefreshMachineList();
  // The member summary, then the three list pages, on the portal's worker;
  // each result is applied when it arrives.
  void StartLoad(const char* what);
  void ShowRows(std::vector<MachineRow> loaded);
  void ApplyOrder();
  void OnColumnClick(int column);
  void SelectLine(int line);
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const;
  void OnGetDispInfo(NMLVDISPINFOW& info) const;
  void OnSize(int width, int height);
  void OnKeyboardMenu();
  void SavePlacement() const;
  void ShowLoading(std::string_view text);
  void SetLabelText(HWND label, std::string_view text);
  void HideLoading();

  void OnCommand(int id, int code);
  void OnSearch();
  void OnListNotify(NMHDR& hdr);
  void OnTray(LPARAM lp);
  void Restore();
  void OnAbout();
  HBRUSH OnLabelColour(HDC dc, HWND label);

  int RowCount() const { return static_cast<int>(rows.size()); }
  // The selected line's position in the list (-1: none).
  int SelectedIndex() const {
    const int i = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return i < RowCount() ? i : -1;
  }
  // The machine shown at a line of the list, whatever the order.
  const MachineRow& RowAt(int line) const {
    return rows[static_cast<size_t>(order[static_cast<size_t>(line)])];
  }
  const Text& CellText(int line, int column) const { return RowAt(line)[column]; }
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

  contactPicture = CreateChild(hwnd, L"STATIC", "", SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY, 1104, 8,
                               96, 24, IdMainContactPicture);
  // The picture is decoded on a worker (GDI+ is slow to start) and shown when ready.
  RunFlow(
      Lane::OtherHost, flows,
      [background = GetSysColor(COLOR_BTNFACE)] {
        return std::make_shared<UniqueBitmap>(LoadPngPicture(kContactPictureId, background));
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

  // A virtual list: it asks for the texts of the lines it shows, so filling
  // it costs the same for 20 and 2,000 machines.
  list = CreateChild(hwnd, WC_LISTVIEWW, "",
                     LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP |
                         WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                     0, 40, 1216, 456, IdMainList, WS_EX_CLIENTEDGE);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (int c = 0; c < kMachineColumnCount; ++c) {
    std::wstring title = Wide(kListColumns[c].title);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = title.data();
    col.cx = Scale(kListColumns[c].width);
    col.iSubItem = c;
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
  }

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

// The creation sequence. The requests go out first, on the workers, so that
// the pages are on their way while the window shows itself; the window's own
// steps follow in their order in short turns of the window thread (see
// OpenMainWindow), so that it keeps answering. Results arrive as messages and
// are applied in the order the portal answered.
void MainWindow::RunCreationSequence() {
  loading = true;
  // putty.exe (a megabyte) is compared and written off the window thread.
  QueueOnLane(Lane::OtherHost, [] { WritePuttyImage(); });
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
  WriteWholeFile(DataFile("qp.ini"), "全屏：1真");  // windowed is the default again
  tray.Place(hwnd);
}

void MainWindow::RefreshMachineList() {
  if (loading) return;  // the running load fills the list
  loading = true;
  ShowRows({});
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
        SetLabelText(count, CountLabelText(load.countText));
        ShowRows(std::move(load.rows));
        HideLoading();
        loading = false;
        timing->Total();
        timing->Add("rows", RowCount());
        timing->Report();
      });
}

void MainWindow::ShowRows(std::vector<MachineRow> loaded) {
  rows = std::move(loaded);
  ApplyOrder();
}

// Texts in the user's language order: Chinese by pinyin where the platform
// offers the zh-CN collation.
int CollateGbk(std::string_view a, std::string_view b) {
  const std::wstring x = Wide(a), y = Wide(b);
  const int r = CompareStringEx(L"zh-CN", 0, x.data(), static_cast<int>(x.size()), y.data(),
                                static_cast<int>(y.size()), nullptr, nullptr, 0);
  return r ? r - CSTR_EQUAL : a.compare(b);
}

void MainWindow::ApplyOrder() {
  order = SortedOrder(rows, sortColumn, sortDescending, CollateGbk);
  SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
  // The sort mark in the header.
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  for (int c = 0; c < kMachineColumnCount; ++c) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!SendMessageW(header, HDM_GETITEMW, c, reinterpret_cast<LPARAM>(&item))) continue;
    const int was = item.fmt;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (c == sortColumn) item.fmt |= sortDescending ? HDF_SORTDOWN : HDF_SORTUP;
    // Setting an item redraws the whole header: only where the mark moves.
    if (item.fmt != was) SendMessageW(header, HDM_SETITEMW, c, reinterpret_cast<LPARAM>(&item));
  }
  InvalidateRect(list, nullptr, TRUE);
}

// A click on a column title sorts by it, a second click reverses the order;
// the selected machine stays selected wherever it lands.
void MainWindow::OnColumnClick(int column) {
  const int line = SelectedIndex();
  const int selectedRow = line >= 0 ? order[static_cast<size_t>(line)] : -1;
  if (column == sortColumn) {
    sortDescending = !sortDescending;
  } else {
    sortColumn = column;
    sortDescending = false;
  }
  ApplyOrder();
  if (selectedRow < 0) return;
  for (int i = 0; i < RowCount(); ++i)
    if (order[static_cast<size_t>(i)] == selectedRow) return SelectLine(i);
}

void MainWindow::SelectLine(int line) {
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  LVITEMW select{};
  select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, line, reinterpret_cast<LPARAM>(&select));
}

// Lines past their expiry time in grey, within 3 days in red, within 7 in orange.
LRESULT MainWindow::OnCustomDraw(NMLVCUSTOMDRAW& draw) const {
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  const int line = static_cast<int>(draw.nmcd.dwItemSpec);
  if (line < 0 || line >= RowCount()) return CDRF_DODEFAULT;
  SYSTEMTIME t;
  GetLocalTime(&t);
  char now[32];
  std::snprintf(now, sizeof now, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond);
  switch (ExpiryOf(CellText(line, ColExpiry), ParseDateTime(now).value_or(0))) {
    case Expiry::Past:
      draw.clrText = RGB(128, 128, 128);
      break;
    case Expiry::Within3Days:
      draw.clrText = RGB(220, 0, 0);
      break;
    case Expiry::Within7Days:
      draw.clrText = RGB(230, 120, 0);
      break;
    case Expiry::None:
      return CDRF_DODEFAULT;
  }
  return CDRF_NEWFONT;
}

// The list asks for a cell's text (also for LVM_GETITEMTEXT from outside).
void MainWindow::OnGetDispInfo(NMLVDISPINFOW& info) const {
  LVITEMW& item = info.item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
  if (item.iItem < 0 || item.iItem >= RowCount() || item.iSubItem < 0 ||
      item.iSubItem >= kMachineColumnCount) {
    item.pszText[0] = L'\0';
    return;
  }
  const std::wstring text = Wide(CellText(item.iItem, item.iSubItem));
  const size_t n = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
  std::copy_n(text.data(), n, item.pszText);
  item.pszText[n] = L'\0';
}

// The first line whose address holds the search text; 搜索 again with the
// same text moves on to the next such line, wrapping at the end.
void MainWindow::OnSearch() {
  const Text wanted = GetWindowTextGbk(searchText);
  const int n = RowCount();
  const int selected = SelectedIndex();
  const int start = (wanted == lastSearch && selected >= 0) ? selected + 1 : 0;
  lastSearch = wanted;
  for (int k = 0; k < n; ++k) {
    const int i = (start + k) % n;
    if (!AddressMatches(CellText(i, ColRemoteAddress), wanted)) continue;
    SetFocus(list);
    SelectLine(i);
    return;
  }
}

void MainWindow::OnListNotify(NMHDR& hdr) {
  if (hdr.code == LVN_GETDISPINFOW) {
    OnGetDispInfo(*reinterpret_cast<NMLVDISPINFOW*>(&hdr));
    return;
  }
  if (hdr.code == NM_DBLCLK || hdr.code == NM_RETURN) return ConnectSelectedMachine();
  if (hdr.code == LVN_COLUMNCLICK)
    return OnColumnClick(reinterpret_cast<NMLISTVIEW&>(hdr).iSubItem);
  if (hdr.code == LVN_KEYDOWN) {
    // Ctrl+C copies the selected machine's remote address.
    if (reinterpret_cast<NMLVKEYDOWN&>(hdr).wVKey == 'C' && GetKeyState(VK_CONTROL) < 0)
      RunMachineCommand(CmdCopyRemoteAddress);
    return;
  }
  if (hdr.code != NM_RCLICK) return;
  // Only a selected line gets the context menu.
  if (SelectedIndex() < 0) return;
  UniqueMenu menu = BuildPopupMenu(
      ListMenuEntries(), [this](int command) { return command == CmdRefresh && loading; });
  PopupMenuAtCursor(hwnd, menu.get());
}

// Shift+F10 or the context-menu key: the line's menu at the line.
void MainWindow::OnKeyboardMenu() {
  const int line = SelectedIndex();
  if (line < 0) return;
  RECT r{};
  r.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_ENSUREVISIBLE, line, FALSE);
  SendMessageW(list, LVM_GETITEMRECT, line, reinterpret_cast<LPARAM>(&r));
  POINT at{r.left + 40, r.bottom};
  ClientToScreen(list, &at);
  UniqueMenu menu = BuildPopupMenu(
      ListMenuEntries(), [this](int command) { return command == CmdRefresh && loading; });
  PopupMenuAt(hwnd, menu.get(), at);
}

// The list takes the room the window gains; the top bar stays as laid out.
void MainWindow::OnSize(int width, int height) {
  if (!list || width <= 0 || height <= 0) return;
  const int listW = width <= designClient.cx
                        ? designList.right - designList.left
                        : std::max<int>(width, designList.right - designList.left);
  const int bottomMargin = designClient.cy - designList.bottom;
  const int listH =
      std::max<int>(designList.bottom - designList.top, height - bottomMargin - designList.top);
  SetWindowPos(list, nullptr, 0, 0, listW, listH, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

constexpr wchar_t kPlacementKey[] = L"Software\\QARVEX\\Terminal";

// Size, position and maximised state, remembered for the next start.
void MainWindow::SavePlacement() const {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!GetWindowPlacement(hwnd, &wp)) return;
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kPlacementKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  const RECT& r = wp.rcNormalPosition;
  const std::pair<const wchar_t*, DWORD> values[] = {
      {L"Left", static_cast<DWORD>(r.left)},
      {L"Top", static_cast<DWORD>(r.top)},
      {L"Width", static_cast<DWORD>(r.right - r.left)},
      {L"Height", static_cast<DWORD>(r.bottom - r.top)},
      {L"Maximized",
       wp.showCmd == SW_SHOWMAXIMIZED || (wp.flags & WPF_RESTORETOMAXIMIZED) ? 1u : 0u}};
  for (const auto& [name, value] : values)
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

// Shows the window where it was last time: on the same monitor, or centred
// when that monitor is gone; at its design place when nothing is stored.
void ShowAtStoredPlacement(HWND hwnd) {
  DWORD v[5] = {};
  const wchar_t* names[] = {L"Left", L"Top", L"Width", L"Height", L"Maximized"};
  bool stored = true;
  for (int i = 0; i < 5 && stored; ++i) {
    DWORD size = sizeof v[i];
    stored = RegGetValueW(HKEY_CURRENT_USER, kPlacementKey, names[i], RRF_RT_REG_DWORD, nullptr,
                          &v[i], &size) == ERROR_SUCCESS;
  }
  if (!stored) {
    ShowWindow(hwnd, SW_SHOW);
    return;
  }
  RECT r{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[0] + v[2]),
         static_cast<LONG>(v[1] + v[3])};
  if (!MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    r.left = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    r.top = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    r.right = r.left + w;
    r.bottom = r.top + h;
  }
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  wp.showCmd = v[4] ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  wp.rcNormalPosition = r;
  SetWindowPlacement(hwnd, &wp);
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
  if (id == CmdFocusSearch) {
    SetFocus(searchText);
    SendMessageW(searchText, EM_SETSEL, 0, -1);
    return;
  }
  if (id == IDOK) {  // Enter: 搜索 in the search box, connect on a line
    if (GetFocus() == searchText) OnSearch();
    if (GetFocus() == list) ConnectSelectedMachine();
    return;
  }
  if (id >= CmdConnect && !MenuCommandReady(id)) return;  // not built yet
  if (RunMachineCommand(id)) return;
  if (RunPortalCommand(id)) return;
  switch (id) {
    case IdMainSearchButton:
      OnSearch();
      return;
    case IdMainPortalButton:
      ShellOpen(PortalBaseUrl() + "//");
      return;
    case IdMainContactPicture:
      if (code == STN_CLICKED) ShellOpen(ContactUrl());
      return;
    case CmdRefresh:
      RefreshMachineList();
      return;
    case CmdBuyVps:
      ShellOpen(PortalBaseUrl() + "//business/tarn/gxip.html");
      return;
    case CmdContact:
      ShellOpen(ContactUrl());
      return;
    case CmdAbout:
      OnAbout();
      return;
    case CmdSkinWhite:
    case CmdSkinBlue:
    case CmdSkinDefault:
      RunSkinCommand(id);
      return;
    case CmdTrayOpen:
      Restore();
      return;
    case CmdTrayWebsite:
      ShellOpen(WebsiteUrl());
      return;
    case CmdTrayExit:
      DestroyWindow(hwnd);
      return;
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
    case WM_CREATE: {
      CreateControls();
      RECT w, c;
      GetWindowRect(hwnd, &w);
      GetClientRect(hwnd, &c);
      minWindow = {w.right - w.left, w.bottom - w.top};
      designClient = {c.right, c.bottom};
      GetWindowRect(list, &designList);
      MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&designList), 2);
      return 0;
    }
    case WM_SIZE:
      OnSize(LOWORD(lp), HIWORD(lp));
      break;
    case WM_GETMINMAXINFO:
      if (minWindow.cx)
        reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = {minWindow.cx, minWindow.cy};
      return 0;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) == list && lp == -1) {
        OnKeyboardMenu();
        return 0;
      }
      break;
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->idFrom == IdMainList && hdr->code == NM_CUSTOMDRAW)
        return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lp));
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
      SavePlacement();
      flows.Revoke();  // what still runs for this window is dropped
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
  HWND h = CreateTopWindow(kClass, caption, WS_OVERLAPPEDWINDOW, 50, 50, 1208, 519, &window);
  if (!h) return nullptr;
  window.RunCreationSequence();
  // Showing and the rest of the creation each get a turn of their own.
  PostToWindowThread(window.flows.Token(), [h] { ShowAtStoredPlacement(h); });
  PostToWindowThread(window.flows.Token(), [] { g_main->FinishCreation(); });
  return h;
}

HWND MainWindowHandle() { return g_main ? g_main->hwnd : nullptr; }

HACCEL MainWindowAccelerators() {
  static HACCEL table = [] {
    ACCEL keys[] = {{FVIRTKEY, VK_F5, CmdRefresh}, {FVIRTKEY | FCONTROL, 'F', CmdFocusSearch}};
    return CreateAcceleratorTableW(keys, 2);
  }();
  return table;
}

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
