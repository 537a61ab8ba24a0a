#include "app/picture_win.h"

#include <objidl.h>
#include <shlwapi.h>
// GDI+ (flat API) decodes the PNG.
#include <gdiplus.h>

#include "app/window_util_win.h"  // Scale

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
    using namespace Gdiplus::DllExports;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromStream(stream.get(), &bitmap) == Gdiplus::Ok) {
      UINT w = 0, h = 0;
      GdipGetImageWidth(bitmap, &w);
      GdipGetImageHeight(bitmap, &h);
      const int width = Scale(static_cast<int>(w)), height = Scale(static_cast<int>(h));
      Gdiplus::GpBitmap* sized = nullptr;
      Gdiplus::GpGraphics* g = nullptr;
      if ((static_cast<int>(w) != width || static_cast<int>(h) != height) && width > 0 &&
          height > 0 &&
          GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &sized) ==
              Gdiplus::Ok &&
          GdipGetImageGraphicsContext(sized, &g) == Gdiplus::Ok) {
        GdipSetInterpolationMode(g, Gdiplus::InterpolationModeHighQualityBicubic);
        GdipSetPixelOffsetMode(g, Gdiplus::PixelOffsetModeHalf);
        GdipDrawImageRectI(g, bitmap, 0, 0, width, height);
        GdipDeleteGraphics(g);
        GdipDisposeImage(bitmap);
        bitmap = sized;
      } else if (sized) {
        GdipDisposeImage(sized);
      }
      Gdiplus::ARGB argb = 0xFF000000u | (GetRValue(background) << 16) |
                           (GetGValue(background) << 8) | GetBValue(background);
      GdipCreateHBITMAPFromBitmap(bitmap, &result, argb);
      GdipDisposeImage(bitmap);
    }
  }
  stream.reset();
  Gdiplus::GdiplusShutdown(token);
  return UniqueBitmap(result);
}

}  // namespace qx
