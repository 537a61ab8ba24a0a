// Small Win32 helpers for the windows: GBK texts converted with code page 936
// at every API call, RAII wrappers, waits and files.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "web/text.h"
#include "web/wide_win.h"  // Wide(), Narrow()

namespace qx {

Text GetWindowTextGbk(HWND hwnd);
void SetWindowTextGbk(HWND hwnd, std::string_view text);
// A message box with no owner, task-modal.
int MessageBoxGbk(std::string_view text, std::string_view title, UINT flags = MB_OK);
// Opens a URL or file with its associated program.
void ShellOpen(std::string_view target);

// Waits while pending window messages keep being processed.
void ResponsiveWait(DWORD milliseconds);

bool ReadWholeFile(std::string_view path, Bytes& out);
bool WriteWholeFile(std::string_view path, std::string_view bytes);
void DeleteFileGbk(std::string_view path);
void CreateFolderGbk(std::string_view path);

// The UI font (Chinese capable), shared by every control.
HFONT UiFont();
// The program icon at the given size.
HICON ProgramIcon(int size);

// Creates a child control with the UI font.
HWND CreateChild(HWND parent, const wchar_t* cls, std::string_view text, DWORD style, int x,
                 int y, int w, int h, int id, DWORD exStyle = 0);

// Owns a kernel handle.
class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE h = nullptr) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ && h_ != INVALID_HANDLE_VALUE; }
  HANDLE release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }
  void reset(HANDLE h = nullptr) {
    if (*this) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_;
};

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
// Client size → window size for the style, then a window at (x, y).
HWND CreateTopWindow(const wchar_t* cls, std::string_view caption, DWORD style, int x, int y,
                     int clientW, int clientH, void* state);

}  // namespace qx
