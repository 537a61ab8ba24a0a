// One set of owners for every kind of handle the program holds: kernel
// handles, Internet handles, GDI objects, device contexts and the objects
// selected into them, menus, icons, registry keys, LocalAlloc and GlobalAlloc
// memory and COM pointers. Each closes its handle when it goes out of scope.
//
// The Internet owners exist only where their API header is included first:
// UniqueInternet after <wininet.h>, UniqueWinHttp after <winhttp.h> (the two
// headers do not go together in one source file).
#pragma once

#include <windows.h>

#include <utility>

namespace qx {

// Owns one handle described by Traits (Handle type, Valid, Close).
template <class Traits>
class Unique {
 public:
  using Handle = typename Traits::Handle;

  Unique() = default;
  explicit Unique(Handle h) : h_(h) {}
  ~Unique() { reset(); }
  Unique(Unique&& o) noexcept : h_(o.release()) {}
  Unique& operator=(Unique&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  Handle get() const { return h_; }
  explicit operator bool() const { return Traits::Valid(h_); }
  Handle release() { return std::exchange(h_, Handle{}); }
  void reset(Handle h = Handle{}) {
    if (Traits::Valid(h_)) Traits::Close(h_);
    h_ = h;
  }

 private:
  Handle h_{};
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static bool Valid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
using UniqueHandle = Unique<KernelHandleTraits>;

template <class H>
struct GdiObjectTraits {
  using Handle = H;
  static bool Valid(H h) { return h != nullptr; }
  static void Close(H h) { DeleteObject(h); }
};
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueBrush = Unique<GdiObjectTraits<HBRUSH>>;
using UniqueRegion = Unique<GdiObjectTraits<HRGN>>;
using UniquePen = Unique<GdiObjectTraits<HPEN>>;

// A memory device context from CreateCompatibleDC (a window's own, from
// GetDC or GetWindowDC, is a WindowDc).
struct MemoryDcTraits {
  using Handle = HDC;
  static bool Valid(HDC h) { return h != nullptr; }
  static void Close(HDC h) { DeleteDC(h); }
};
using UniqueDc = Unique<MemoryDcTraits>;

// A window's device context, released with ReleaseDC.
class WindowDc {
 public:
  // GetDC: the client area (the screen's for a null window).
  static WindowDc Client(HWND hwnd) { return WindowDc(hwnd, GetDC(hwnd)); }
  // GetWindowDC: the whole window, its frame included.
  static WindowDc Whole(HWND hwnd) { return WindowDc(hwnd, GetWindowDC(hwnd)); }
  ~WindowDc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  WindowDc(HWND hwnd, HDC dc) : hwnd_(hwnd), dc_(dc) {}
  HWND hwnd_;
  HDC dc_;
};

// WM_PAINT's device context: BeginPaint, and EndPaint when it goes out of scope.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
  ~PaintDc() { EndPaint(hwnd_, &ps_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;

  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// An object (font, bitmap, pen, brush) selected into a device context; the
// object it replaced is selected again when this goes out of scope. Declare
// it after the owners of the context and of the object, so that it ends first.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

struct MenuTraits {
  using Handle = HMENU;
  static bool Valid(HMENU h) { return h != nullptr; }
  static void Close(HMENU h) { DestroyMenu(h); }
};
using UniqueMenu = Unique<MenuTraits>;  // a popup menu and its submenus

struct IconTraits {
  using Handle = HICON;
  static bool Valid(HICON h) { return h != nullptr; }
  static void Close(HICON h) { DestroyIcon(h); }
};
using UniqueIcon = Unique<IconTraits>;  // not for LR_SHARED icons

struct RegistryKeyTraits {
  using Handle = HKEY;
  static bool Valid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
using UniqueRegKey = Unique<RegistryKeyTraits>;  // from RegOpenKeyEx or RegCreateKeyEx

struct HookTraits {
  using Handle = HHOOK;
  static bool Valid(HHOOK h) { return h != nullptr; }
  static void Close(HHOOK h) { UnhookWindowsHookEx(h); }
};
using UniqueHook = Unique<HookTraits>;  // from SetWindowsHookEx

struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static bool Valid(HLOCAL h) { return h != nullptr; }
  static void Close(HLOCAL h) { LocalFree(h); }
};
using UniqueLocal = Unique<LocalMemoryTraits>;  // e.g. the output of CryptProtectData

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static bool Valid(HGLOBAL h) { return h != nullptr; }
  static void Close(HGLOBAL h) { GlobalFree(h); }
};
using UniqueGlobal = Unique<GlobalMemoryTraits>;  // e.g. clipboard data before it is handed over

#ifdef _WININET_
struct InternetTraits {
  using Handle = HINTERNET;
  static bool Valid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { InternetCloseHandle(h); }
};
using UniqueInternet = Unique<InternetTraits>;
#endif

#ifdef __WINE_WINHTTP_H
struct WinHttpTraits {
  using Handle = HINTERNET;
  static bool Valid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { WinHttpCloseHandle(h); }
};
using UniqueWinHttp = Unique<WinHttpTraits>;
#endif

// Owns one reference to a COM object.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For functions that hand out a new reference.
  T** put() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

}  // namespace qx
