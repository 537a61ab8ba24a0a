// Small Win32 helpers for the windows: GBK texts converted with code page 936
// at every API call, and files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/handles_win.h"
#include "base/os_win.h"
#include "base/text.h"
#include "base/wide_win.h"  // Wide(), Narrow()

namespace qx {

Text GetWindowTextGbk(HWND hwnd);
// The window's own text in UTF-8 (characters outside GBK kept).
Text WindowTextUtf8(HWND hwnd);
void SetWindowTextGbk(HWND hwnd, std::string_view text);
// The program's box for an action that failed (the one the machine
// operations show): "操作失败,请重试".
void ShowActionFailed();
// The UI font (Chinese capable, 9 points at any DPI), shared by every control.
HFONT UiFont();
// The program icon at the given size.
HICON ProgramIcon(int size);

// Creates a child control with the UI font; the position and size are design
// units (scaled).
HWND CreateChild(HWND parent, const wchar_t* cls, std::string_view text, DWORD style, int x, int y,
                 int w, int h, int id, DWORD exStyle = 0);

// Binds a window to its state object through WM_NCCREATE; the object's
// HandleMessage gets every message after that.
template <class T>
LRESULT CALLBACK WindowProcOf(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  T* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    LRESULT r = self->HandleMessage(msg, wp, lp);
    self->hwnd = nullptr;
    return r;
  }
  return self->HandleMessage(msg, wp, lp);
}

void RegisterWindowClass(const wchar_t* name, WNDPROC proc);
// Client size → window size for the style, then a window at (x, y); all four
// are design units (scaled).
HWND CreateTopWindow(const wchar_t* cls, std::string_view caption, DWORD style, int x, int y,
                     int clientW, int clientH, void* state);

}  // namespace qx
