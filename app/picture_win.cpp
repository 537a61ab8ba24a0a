#include "app/picture_win.h"

#include <objidl.h>
#include <shlwapi.h>
// GDI+ (flat API) decodes the PNG.
#include <gdiplus.h>

namespace qx {

UniqueBitmap LoadPngPicture(int resourceId, COLORREF background) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res =
      FindResourceW(module, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!res) return {};
  HGLOBAL loaded = LoadResource(module, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = SizeofResource(module, res);
  if (!data || !size) return {};

  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return {};
  HBITMAP result = nullptr;
  ComPtr<IStream> stream;
  *stream.put() = SHCreateMemStream(static_cast<const BYTE*>(data), size);
  if (stream) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream.get(), &bitmap) == Gdiplus::Ok) {
      Gdiplus::ARGB argb = 0xFF000000u | (GetRValue(background) << 16) |
                           (GetGValue(background) << 8) | GetBValue(background);
      Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(bitmap, &result, argb);
      Gdiplus::DllExports::GdipDisposeImage(bitmap);
    }
  }
  stream.reset();
  Gdiplus::GdiplusShutdown(token);
  return UniqueBitmap(result);
}

}  // namespace qx
