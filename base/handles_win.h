// One set of owners for every kind of handle the program holds: kernel
// handles, Internet handles, GDI objects, menus, icons, LocalAlloc and
// GlobalAlloc memory and COM pointers. Each closes its handle when it goes out of scope.
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
