// The main window's list of machines: a virtual report list drawing from the
// rows in page order, sorted by a clicked column title (the selected machine
// stays selected), its lines coloured by their expiry time, and the address
// search of 搜索.
#pragma once

#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>

#include <functional>
#include <vector>

#include "base/text.h"
#include "base/today.h"
#include "portal/machine_list.h"
#include "remote/probe.h"

namespace qx {

struct MachineListView {
  HWND list = nullptr;
  // The machines, in page order; the list is virtual and draws from here.
  std::vector<MachineRow> rows;
  // The lines as shown: indices into `rows`, sorted by the chosen column
  // (none chosen: page order). A reload keeps the chosen order.
  std::vector<int> order;
  int sortColumn = -1;
  bool sortDescending = false;
  // Each row's latency (page order, as `rows`): milliseconds or kLatency*.
  std::vector<int> latency;
  Text lastSearch;  // 搜索 again with the same text moves on to the next match

  // Creates the list with its columns; position and size in design units.
  void Create(HWND parent, int x, int y, int w, int h, int id);
  // New rows (none: an empty list), in the chosen order.
  void ShowRows(std::vector<MachineRow> loaded);
  // The list's own notifications: its cell texts, its colours and the
  // column titles' clicks. False for the others (the user's actions).
  bool OnNotify(NMHDR& hdr, LRESULT& result);
  // Selects the first line whose address holds the text, with the focus in
  // the list; the same text again moves on to the next such line.
  void Search(const Text& wanted);
  // Selects that line alone, focused.
  void SelectLine(int line);
  // Selects the lines of these rows (indices into `rows`) alone.
  void SelectRows(const std::vector<int>& wanted, int focusedRow);
  // Selects the rows that pass the test alone, with the focus in the list.
  void SelectRowsWhere(const std::function<bool(int row)>& wanted);
  // Selects the machines that expire within 7 days of today or have expired.
  void SelectExpiring(const Date& today);
  // Sorted by a column, ascending, with exactly the lines of these rows
  // (indices into `rows`) selected, the earliest line focused and in view.
  void SortAndSelect(int column, const std::vector<int>& wanted);
  // Selects the lines whose machine does not answer (none: nothing selected).
  void SelectNoAnswer();
  // New latencies (row index, value); the lines shown again, re-sorted when
  // sorted by 延迟.
  void SetLatencies(const std::vector<std::pair<int, int>>& changed);
  // The selected line's bottom left corner (a little in), in screen
  // coordinates, scrolled into view; false when no line is selected.
  bool SelectedLinePoint(POINT& screen) const;

  int RowCount() const { return static_cast<int>(rows.size()); }
  // The line the one-machine commands act on (-1: none selected): the
  // focused line when it is selected, else the first selected one.
  int SelectedIndex() const;
  // Every selected line, in list order.
  std::vector<int> SelectedLines() const;
  // The machine shown at a line of the list, whatever the order.
  const MachineRow& RowAt(int line) const {
    return rows[static_cast<size_t>(order[static_cast<size_t>(line)])];
  }
  const Text& CellText(int line, int column) const { return RowAt(line)[column]; }

 private:
  void ApplyOrder();
  void OnColumnClick(int column);
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const;
  void OnGetDispInfo(NMLVDISPINFOW& info) const;
};

}  // namespace qx
