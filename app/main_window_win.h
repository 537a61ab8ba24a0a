// The main window's state, shared by its parts: the window itself with its
// controls, loading and tray icon (main_window_win.cpp), its list of machines
// (machine_list_view_win.h) and its command routing (main_commands_win.h).
#pragma once

#include <windows.h>

#include <string_view>

#include "app/expiry_balloon_win.h"
#include "app/machine_list_view_win.h"
#include "app/tray_win.h"
#include "base/flow_runner_win.h"
#include "base/handles_win.h"
#include "remote/probe_win.h"

namespace qx {

struct MainWindow {
  HWND hwnd = nullptr;
  HWND memberName = nullptr, balance = nullptr, count = nullptr, notice = nullptr;
  HWND searchText = nullptr, loadingLabel = nullptr, holder = nullptr;
  HWND contactPicture = nullptr;
  MachineListView view;
  TrayIcon tray;
  ExpiryBalloon expiryBalloon;
  UniqueBitmap contactBitmap;
  bool loading = false;  // a load runs: a second 刷新 is ignored until it ends
  Text countText;        // the count label's text while no work is shown
  Text progressText;     // a batch's progress, shown before all else when set
  int pendingWork = 0;   // commands whose portal work has not come back
  unsigned workSerial = 0;
  bool working = false;  // "正在处理…" shown
  FlowOwner flows;
  Prober prober;  // the latencies of the machines shown
  // The design sizes: the window never gets smaller; the list takes new room.
  SIZE minWindow{}, designClient{};
  RECT designList{};

  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void RunCreationSequence();
  void FinishCreation();
  // 刷新: the list emptied and loaded again; ignored while a load runs.
  void RefreshMachineList();
  void NoteWork(bool queued);
  void ShowCount();
  // Probes the machines shown again (F6; also after each load); a probe
  // still running is cancelled first.
  void ProbeMachines();
  // The window shown, restored and centred (the tray icon's 打开).
  void Restore();

 private:
  void OnCreate();
  void CreateControls();
  void LoadContactPicture();
  // The member summary, then the three list pages, on the portal's worker;
  // each result is applied when it arrives.
  void StartLoad(const char* what);
  void OnSize(int width, int height);
  void OnDestroy();
  void ShowLoading(std::string_view text);
  void SetLabelText(HWND label, std::string_view text);
  void HideLoading();
  void ShowWorking(bool on);
  void OnTray(LPARAM lp);
  HBRUSH OnLabelColour(HDC dc, HWND label);
};

}  // namespace qx
