#include "base/atomic_file_win.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "base/handles_win.h"

namespace qx {
namespace {

// Temporary files are named "<file>.~<process>-<n>.tmp", next to their file.
constexpr wchar_t kTempPattern[] = L"*.~*.tmp";

std::wstring TempPathFor(const std::wstring& path) {
  static std::atomic<unsigned> counter{0};
  return path + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
         L".tmp";
}

bool WriteAll(HANDLE f, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 20));
    if (!WriteFile(f, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::wstring& path, std::string_view bytes) {
  const std::wstring temp = TempPathFor(path);
  {
    UniqueHandle f(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    // On the disk before it takes the file's place: a power cut after the
    // move must not find an empty file there.
    if (!WriteAll(f.get(), bytes) || !FlushFileBuffers(f.get())) {
      const DWORD why = GetLastError();
      f.reset();
      DeleteFileW(temp.c_str());
      SetLastError(why);
      return false;
    }
  }
  if (!MoveFileExW(temp.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD why = GetLastError();
    DeleteFileW(temp.c_str());
    SetLastError(why);
    return false;
  }
  return true;
}

void RemoveLeftoverTempFiles(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + kTempPattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileW((folder + found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace qx
