// WriteFileAtomically under Wine: a write that fails, or a writer killed at
// any moment, leaves the old file or the new one whole, never a part.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "base/atomic_file_win.h"
#include "base/handles_win.h"

using namespace qx;

namespace {

// A file of generation n: its number at both ends and 256 KB between them,
// so a write cut anywhere shows.
std::string Generation(unsigned n) {
  const std::string tag = "generation " + std::to_string(n) + "\n";
  return tag + std::string(256 * 1024, static_cast<char>('a' + n % 26)) + tag;
}

// The generation the file holds whole, or -1 (missing, cut or mixed).
long WholeGeneration(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return -1;
  std::string bytes(1024 * 1024, '\0');
  DWORD got = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(f);
  bytes.resize(got);
  const long n = std::atol(bytes.c_str() + std::min<size_t>(bytes.size(), 11));
  return bytes == Generation(static_cast<unsigned>(n)) ? n : -1;
}

std::wstring FreshFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// Names in the folder, but "." and "..".
std::vector<std::wstring> FolderNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

TEST(WriteFileAtomically, AFailedMoveOrWriteKeepsTheOldFileWholeAndLeavesNoTemporaryFile) {
  const std::wstring folder = FreshFolder(L"qx-atomic-fail-");
  const std::wstring path = folder + L"config.ini";
  ASSERT_TRUE(WriteFileAtomically(path, Generation(1)));
  ASSERT_TRUE(WriteFileAtomically(path, Generation(2)));
  EXPECT_EQ(WholeGeneration(path), 2);

  // A file open without leave to delete it cannot be replaced: the move fails.
  HANDLE open =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteFileAtomically(path, Generation(3)));
  CloseHandle(open);
  EXPECT_EQ(WholeGeneration(path), 2);
  EXPECT_EQ(FolderNames(folder), std::vector<std::wstring>{L"config.ini"});

  // No folder to write the temporary file in: nothing is made.
  EXPECT_FALSE(WriteFileAtomically(folder + L"missing\\config.ini", Generation(4)));
  EXPECT_EQ(FolderNames(folder), std::vector<std::wstring>{L"config.ini"});
  DeleteFileW(path.c_str());
  RemoveDirectoryW(folder.c_str());
}

// The writer, started by the test below: writes generation after generation
// until it is killed.
int WriteForever(const std::wstring& path) {
  // Each write's result is of no interest: the test reads what the kill left.
  for (unsigned n = 1;; ++n) static_cast<void>(WriteFileAtomically(path, Generation(n)));
}

TEST(WriteFileAtomically, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
  const std::wstring folder = FreshFolder(L"qx-atomic-kill-");
  const std::wstring path = folder + L"config.ini";
  ASSERT_TRUE(WriteFileAtomically(path, Generation(0)));
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);

  long last = 0;
  for (int round = 0; round < 6; ++round) {
    std::wstring command = L"\"" + std::wstring(self) + L"\" --write-forever \"" + path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &pi));
    const UniqueHandle process(pi.hProcess), thread(pi.hThread);
    auto kill = [&] {
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), 10000);
    };
    // Killed once it has written a few generations: somewhere in a write.
    const ULONGLONG until = GetTickCount64() + 20000;
    long seen = -1;
    while (GetTickCount64() < until) {
      seen = WholeGeneration(path);
      if (seen == -1 || seen >= 3 + round) break;
    }
    kill();
    ASSERT_NE(seen, -1) << "round " << round << ": the file was found cut while being written";
    last = WholeGeneration(path);
    EXPECT_GE(last, 3 + round) << "round " << round;
  }
  // What the kills left behind goes at the next start; the file stays.
  RemoveLeftoverTempFiles(folder);
  EXPECT_EQ(FolderNames(folder), std::vector<std::wstring>{L"config.ini"});
  EXPECT_EQ(WholeGeneration(path), last);
  DeleteFileW(path.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  int wargc = 0;
  wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
  if (wargc == 3 && std::wstring(wargv[1]) == L"--write-forever") return WriteForever(wargv[2]);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
