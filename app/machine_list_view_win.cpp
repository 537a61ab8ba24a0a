#include "app/machine_list_view_win.h"

#include <algorithm>
#include <cstdio>

#include "app/expiry_balloon_win.h"
#include "app/window_util_win.h"
#include "portal/machine_order.h"

namespace qx {
namespace {

struct ListColumn {
  const char* title;
  int width;
};
constexpr ListColumn kListColumns[kMachineColumnCount] = {
    {"序号", 40},      {"业务标识", 80},  {"备注", 100},     {"线路", 80},     {"远程IP", 200},
    {"系统账户", 90},  {"系统密码", 100}, {"宽带账户", 100}, {"宽带密码", 80}, {"开通时间", 130},
    {"到期时间", 130}, {"状态", 70},      {"vpsid", 0},
};
// After the portal's columns: the probe's latency.
constexpr int kLatencyColumn = kMachineColumnCount;
constexpr ListColumn kLatencyTitle = {"延迟", 70};

// Texts in the user's language order: Chinese by pinyin where the platform
// offers the zh-CN collation.
int CollateGbk(std::string_view a, std::string_view b) {
  const std::wstring x = Wide(a), y = Wide(b);
  const int r = CompareStringEx(L"zh-CN", 0, x.data(), static_cast<int>(x.size()), y.data(),
                                static_cast<int>(y.size()), nullptr, nullptr, 0);
  return r ? r - CSTR_EQUAL : a.compare(b);
}

}  // namespace

void MachineListView::Create(HWND parent, int x, int y, int w, int h, int id) {
  // A virtual list: it asks for the texts of the lines it shows, so filling
  // it costs the same for 20 and 2,000 machines.
  list = CreateChild(parent, WC_LISTVIEWW, "",
                     LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP | WS_CLIPSIBLINGS |
                         WS_CLIPCHILDREN,
                     x, y, w, h, id, WS_EX_CLIENTEDGE);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (int c = 0; c <= kLatencyColumn; ++c) {
    const ListColumn& shown = c == kLatencyColumn ? kLatencyTitle : kListColumns[c];
    std::wstring title = Wide(shown.title);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = title.data();
    col.cx = Scale(shown.width);
    col.iSubItem = c;
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&col));
  }
}

// The focused line when it is selected, else the first selected one: with
// one line selected, that line.
int MachineListView::SelectedIndex() const {
  const int focused = static_cast<int>(
      SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
  if (focused >= 0 && focused < RowCount()) return focused;
  const int i =
      static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  return i < RowCount() ? i : -1;
}

std::vector<int> MachineListView::SelectedLines() const {
  std::vector<int> lines;
  for (int i = -1; (i = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i),
                                                      LVNI_SELECTED))) >= 0 &&
                   i < RowCount();)
    lines.push_back(i);
  return lines;
}

void MachineListView::ShowRows(std::vector<MachineRow> loaded) {
  rows = std::move(loaded);
  latency.assign(rows.size(), kLatencyNotProbed);
  ApplyOrder();
}

void MachineListView::ApplyOrder() {
  if (sortColumn == kLatencyColumn) {
    order.resize(rows.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
      const long long x = LatencySortKey(latency[static_cast<size_t>(a)]);
      const long long y = LatencySortKey(latency[static_cast<size_t>(b)]);
      return sortDescending ? y < x : x < y;
    });
  } else {
    order = SortedOrder(rows, sortColumn, sortDescending, CollateGbk);
  }
  SendMessageW(list, LVM_SETITEMCOUNT, rows.size(), 0);
  // The sort mark in the header.
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  for (int c = 0; c <= kLatencyColumn; ++c) {
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
// the selected machines stay selected wherever they land.
void MachineListView::OnColumnClick(int column) {
  std::vector<int> selectedRows;
  for (int line : SelectedLines()) selectedRows.push_back(order[static_cast<size_t>(line)]);
  const int focused = SelectedIndex();
  const int focusedRow = focused >= 0 ? order[static_cast<size_t>(focused)] : -1;
  if (column == sortColumn) {
    sortDescending = !sortDescending;
  } else {
    sortColumn = column;
    sortDescending = false;
  }
  ApplyOrder();
  SelectRows(selectedRows, focusedRow);
}

void MachineListView::SelectLine(int line) {
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  LVITEMW select{};
  select.state = select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, line, reinterpret_cast<LPARAM>(&select));
}

// Selects the lines of these rows (indices into `rows`) and nothing else; the
// focus goes to focusedRow's line, or the first selected one.
void MachineListView::SelectRows(const std::vector<int>& wanted, int focusedRow) {
  std::vector<bool> take(rows.size());
  for (int r : wanted)
    if (r >= 0 && static_cast<size_t>(r) < rows.size()) take[static_cast<size_t>(r)] = true;
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  int focusLine = -1;
  for (int i = 0; i < RowCount(); ++i) {
    const int r = order[static_cast<size_t>(i)];
    if (!take[static_cast<size_t>(r)]) continue;
    LVITEMW select{};
    select.state = select.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&select));
    if (focusLine < 0 || r == focusedRow) focusLine = i;
  }
  if (focusLine < 0) return;
  LVITEMW focus{};
  focus.state = focus.stateMask = LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, focusLine, reinterpret_cast<LPARAM>(&focus));
  SendMessageW(list, LVM_ENSUREVISIBLE, focusLine, FALSE);
}

// 选择即将到期的机器: the machines expired or expiring by the end of the
// seventh day after today (by dates, whatever the hour).
void MachineListView::SelectExpiring(const Date& today) {
  char midnight[32];
  std::snprintf(midnight, sizeof midnight, "%04d-%02d-%02d 00:00:00", today.year, today.month,
                today.day);
  const long long now = ParseDateTime(midnight).value_or(0) + 86400;
  SelectRowsWhere([&](int r) {
    return ExpiryOf(rows[static_cast<size_t>(r)][ColExpiry], now) != Expiry::None;
  });
}

// The rows that pass the test selected alone, with the focus in the list.
void MachineListView::SelectRowsWhere(const std::function<bool(int row)>& wanted) {
  std::vector<int> chosen;
  for (int r = 0; r < RowCount(); ++r)
    if (wanted(r)) chosen.push_back(r);
  SetFocus(list);
  SelectRows(chosen, -1);
}

void MachineListView::SortAndSelect(int column, const std::vector<int>& wanted) {
  sortColumn = column;
  sortDescending = false;
  ApplyOrder();
  SelectRows(wanted, -1);  // the first line in the new order takes the focus
}

void MachineListView::SelectNoAnswer() {
  SelectRowsWhere([this](int r) { return latency[static_cast<size_t>(r)] == kLatencyNoAnswer; });
}

void MachineListView::SetLatencies(const std::vector<std::pair<int, int>>& changed) {
  for (const auto& [row, value] : changed)
    if (row >= 0 && row < RowCount()) latency[static_cast<size_t>(row)] = value;
  if (sortColumn != kLatencyColumn) {
    // Only the latency cells change: the lines shown are drawn again.
    InvalidateRect(list, nullptr, FALSE);
    return;
  }
  // Re-sorted; the selected machines stay selected, the focused one focused.
  std::vector<int> selectedRows;
  for (int line : SelectedLines()) selectedRows.push_back(order[static_cast<size_t>(line)]);
  const int focusLine =
      static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  const int focusedRow =
      focusLine >= 0 && focusLine < RowCount() ? order[static_cast<size_t>(focusLine)] : -1;
  ApplyOrder();
  if (!selectedRows.empty()) SelectRows(selectedRows, focusedRow);
}

bool MachineListView::SelectedLinePoint(POINT& screen) const {
  const int line = SelectedIndex();
  if (line < 0) return false;
  RECT r{};
  r.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_ENSUREVISIBLE, line, FALSE);
  SendMessageW(list, LVM_GETITEMRECT, line, reinterpret_cast<LPARAM>(&r));
  screen = {r.left + 40, r.bottom};
  ClientToScreen(list, &screen);
  return true;
}

// Lines past their expiry time in grey, within 3 days in red, within 7 in orange.
LRESULT MachineListView::OnCustomDraw(NMLVCUSTOMDRAW& draw) const {
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  const int line = static_cast<int>(draw.nmcd.dwItemSpec);
  if (line < 0 || line >= RowCount()) return CDRF_DODEFAULT;
  switch (ExpiryOf(CellText(line, ColExpiry), ExpiryClockNow())) {
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
void MachineListView::OnGetDispInfo(NMLVDISPINFOW& info) const {
  LVITEMW& item = info.item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
  if (item.iItem < 0 || item.iItem >= RowCount() || item.iSubItem < 0 ||
      item.iSubItem > kLatencyColumn) {
    item.pszText[0] = L'\0';
    return;
  }
  const std::wstring text =
      Wide(item.iSubItem == kLatencyColumn
               ? LatencyText(latency[static_cast<size_t>(order[static_cast<size_t>(item.iItem)])])
               : CellText(item.iItem, item.iSubItem));
  const size_t n = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
  std::copy_n(text.data(), n, item.pszText);
  item.pszText[n] = L'\0';
}

bool MachineListView::OnNotify(NMHDR& hdr, LRESULT& result) {
  result = 0;
  switch (hdr.code) {
    case NM_CUSTOMDRAW:
      result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(hdr));
      return true;
    case LVN_GETDISPINFOW:
      OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW&>(hdr));
      return true;
    case LVN_COLUMNCLICK:
      OnColumnClick(reinterpret_cast<NMLISTVIEW&>(hdr).iSubItem);
      return true;
  }
  return false;
}

// The first line whose address holds the search text; 搜索 again with the
// same text moves on to the next such line, wrapping at the end.
void MachineListView::Search(const Text& wanted) {
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

}  // namespace qx
