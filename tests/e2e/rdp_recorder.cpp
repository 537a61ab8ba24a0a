// Stands in for the Remote Desktop client in the test prefix: the tests
// associate .rdp files with it. Each file it is asked to open is copied at
// once into the folder named by QARVEX_RDP_LOG (C:\qarvex-rdp-log when unset)
// as 1.rdp, 2.rdp, ..., and its path is added as a line to opened.txt there
// (UTF-8), so a test sees what the shell opened before the program deletes it.
#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 2) return 2;
  std::wstring folder(32768, L'\0');
  DWORD n = GetEnvironmentVariableW(L"QARVEX_RDP_LOG", folder.data(), 32768);
  folder.resize(n);
  if (folder.empty()) folder = L"C:\\qarvex-rdp-log";
  CreateDirectoryW(folder.c_str(), nullptr);

  // The first free number; CREATE_NEW keeps two recorders apart.
  for (int i = 1; i < 10000; ++i) {
    const std::wstring copy = folder + L"\\" + std::to_wstring(i) + L".rdp";
    if (!CopyFileW(argv[1], copy.c_str(), TRUE)) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return 1;
    }
    break;
  }
  HANDLE log = CreateFileW((folder + L"\\opened.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return 1;
  const std::wstring line = std::wstring(argv[1]) + L"\n";
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), bytes,
                      nullptr, nullptr);
  DWORD written = 0;
  WriteFile(log, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(log);
  LocalFree(argv);
  return 0;
}
