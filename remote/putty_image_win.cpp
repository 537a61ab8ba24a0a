#include "remote/putty_image_win.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "base/atomic_file_win.h"
#include "base/handles_win.h"
#include "base/wide_win.h"

namespace qx {
namespace {

// True when the open file holds exactly `bytes` (read from its start).
bool Holds(HANDLE f, std::string_view bytes) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(f, &size) || static_cast<ULONGLONG>(size.QuadPart) != bytes.size())
    return false;
  std::string have(bytes.size(), '\0');
  size_t at = 0;
  while (at < have.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(have.size() - at, 1 << 20));
    if (!ReadFile(f, have.data() + at, want, &got, nullptr) || got == 0) return false;
    at += got;
  }
  return have == bytes;
}

// The file opened for reading; `share` says what others may do meanwhile.
UniqueHandle OpenForReading(const std::wstring& path, DWORD share) {
  return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace

std::string_view PuttyImage() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(kPuttyImageResource), RT_RCDATA);
  HGLOBAL loaded = res ? LoadResource(module, res) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const char*>(data), SizeofResource(module, res)};
}

bool WritePuttyImage() {
  const std::string_view image = PuttyImage();
  if (image.empty()) return false;
  const std::wstring path = PuttyPath();
  if (path.empty()) return false;
  if (const UniqueHandle f =
          OpenForReading(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
      f && Holds(f.get(), image))
    return true;
  return WriteFileAtomically(path, image);
}

UniqueHandle OpenCheckedPutty() {
  const std::string_view image = PuttyImage();
  if (image.empty()) return UniqueHandle();
  const std::wstring path = PuttyPath();
  if (path.empty()) return UniqueHandle();
  for (int attempt = 0; attempt < 2; ++attempt) {
    // Nobody may write, rename or delete it while it is held.
    UniqueHandle f = OpenForReading(path, FILE_SHARE_READ);
    if (f && Holds(f.get(), image)) return f;
    f.reset();
    if (attempt == 0 && !WriteFileAtomically(path, image)) break;
  }
  return UniqueHandle();
}

}  // namespace qx
