#include "remote/clipboard_win.h"

#include <cstring>

#include "base/handles_win.h"
#include "base/wide_win.h"

namespace qx {
namespace {

// A movable, zero-filled block holding the bytes.
UniqueGlobal GlobalBlock(const void* data, size_t size) {
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
  if (!block) return block;
  void* p = GlobalLock(block.get());
  if (!p) return UniqueGlobal();
  std::memcpy(p, data, size);
  GlobalUnlock(block.get());
  return block;
}

// Hands the block to the clipboard, which owns it from then on.
bool Put(UINT format, UniqueGlobal block) {
  if (!block || !SetClipboardData(format, block.get())) return false;
  block.release();
  return true;
}

bool OpenClipboardPatiently(HWND owner) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

bool CopyTextToClipboard(HWND owner, std::string_view text, bool secret) {
  if (!OpenClipboardPatiently(owner)) return false;
  EmptyClipboard();
  std::string ansi(text);  // with its terminating NUL
  std::wstring wide = Wide(text);
  bool ok = Put(CF_TEXT, GlobalBlock(ansi.c_str(), ansi.size() + 1));
  ok = Put(CF_UNICODETEXT, GlobalBlock(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t))) && ok;
  if (secret) {
    const DWORD zero = 0;
    for (const wchar_t* name : {L"ExcludeClipboardContentFromMonitorProcessing",
                                L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"})
      if (UINT format = RegisterClipboardFormatW(name))
        Put(format, GlobalBlock(&zero, sizeof zero));
  }
  CloseClipboard();
  return ok;
}

}  // namespace qx
