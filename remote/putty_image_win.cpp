#include "remote/putty_image_win.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "base/atomic_file_win.h"
#include "base/handles_win.h"
#include "base/wide_win.h"

namespace qx {
namespace {

// True when the file holds exactly `bytes`.
bool FileHolds(const std::wstring& path, std::string_view bytes) {
  UniqueHandle f(CreateFileW(path.c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
  if (!f) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(f.get(), &size) || static_cast<ULONGLONG>(size.QuadPart) != bytes.size())
    return false;
  std::string have(bytes.size(), '\0');
  size_t at = 0;
  while (at < have.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(have.size() - at, 1 << 20));
    if (!ReadFile(f.get(), have.data() + at, want, &got, nullptr) || got == 0) return false;
    at += got;
  }
  return have == bytes;
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
  if (FileHolds(path, image)) return true;

  return WriteFileAtomically(path, image);
}

}  // namespace qx
