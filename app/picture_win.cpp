#include "app/picture_win.h"

#include <cstdlib>
#include <cstring>

#include "app/window_util_win.h"  // Scale

namespace qx {

namespace {

// A 32-bit top-down DIB section of w × h and its pixels.
HBITMAP CreateDib(int w, int h, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

UniqueBitmap LoadPicture(int resourceId, COLORREF background) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res =
      FindResourceW(module, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!res) return {};
  HGLOBAL loaded = LoadResource(module, res);
  const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
  const DWORD size = SizeofResource(module, res);
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER header;
  if (!data || size < sizeof file + sizeof header) return {};
  // The resource need not be aligned for the headers: copy them out.
  std::memcpy(&file, data, sizeof file);
  std::memcpy(&header, data + sizeof file, sizeof header);
  if (file.bfType != 0x4D42 /* "BM" */ || header.biBitCount != 32 ||
      header.biCompression != BI_RGB || header.biWidth <= 0 || header.biWidth > 4096 ||
      header.biHeight == 0 || std::abs(header.biHeight) > 4096)
    return {};
  const int w = header.biWidth, h = std::abs(header.biHeight);
  const size_t stride = static_cast<size_t>(w) * 4;
  if (file.bfOffBits > size || size - file.bfOffBits < stride * h) return {};

  // Compose each pixel (straight alpha) on the background.
  void* bits = nullptr;
  UniqueBitmap composed(CreateDib(w, h, &bits));
  if (!composed || !bits) return {};
  const int back[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  for (int y = 0; y < h; ++y) {
    const BYTE* src = data + file.bfOffBits + stride * (header.biHeight < 0 ? y : h - 1 - y);
    BYTE* dst = static_cast<BYTE*>(bits) + stride * y;
    for (int x = 0; x < w; ++x, src += 4, dst += 4) {
      const int a = src[3];
      for (int k = 0; k < 3; ++k)
        dst[k] = static_cast<BYTE>((src[k] * a + back[k] * (255 - a) + 127) / 255);
      dst[3] = 0;
    }
  }

  // Resampled to the scaled size above 96 DPI.
  const int width = Scale(w), height = Scale(h);
  if ((width == w && height == h) || width <= 0 || height <= 0) return composed;
  void* scaledBits = nullptr;
  UniqueBitmap scaled(CreateDib(width, height, &scaledBits));
  UniqueDc from(CreateCompatibleDC(nullptr)), to(CreateCompatibleDC(nullptr));
  if (!scaled || !from || !to) return composed;
  HGDIOBJ oldFrom = SelectObject(from.get(), composed.get());
  HGDIOBJ oldTo = SelectObject(to.get(), scaled.get());
  SetStretchBltMode(to.get(), HALFTONE);
  SetBrushOrgEx(to.get(), 0, 0, nullptr);
  const BOOL ok = StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, w, h, SRCCOPY);
  SelectObject(from.get(), oldFrom);
  SelectObject(to.get(), oldTo);
  return ok ? std::move(scaled) : std::move(composed);
}

}  // namespace qx
