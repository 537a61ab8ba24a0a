// Linux远程 end to end: the real qarvex.exe starts the PuTTY it carries
// against a loopback SSH server (ssh_server.py, started by a fixture) and
// PuTTY logs in as root with the machine's password and opens a shell.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <tlhelp32.h>
#include <winternl.h>

#include <cctype>
#include <cstdlib>

#include "app/commands.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/driver_list.h"

using namespace e2e;
using namespace qx;  // control and command ids

namespace {

// A blank, a quote and Chinese: breaks any unquoted or ANSI command line.
// The page writes the quote and the "&" as "&quot;" and "&amp;".
const std::wstring kPassword = L"pa ss\"密&码 中文";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string PercentEncode(const std::string& utf8) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : utf8) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '~' || c == ':') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += hex[c >> 4];
    out += hex[c & 15];
  }
  return out;
}

std::wstring Folded(std::wstring path) {  // for comparing Windows paths
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : towlower(c);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

// The current directory of another process, read from its process parameters.
std::wstring CurrentDirectoryOf(DWORD pid) {
  std::wstring dir;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return dir;
  PROCESS_BASIC_INFORMATION info{};
  char* params = nullptr;
  UNICODE_STRING path{};
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &info, sizeof info, nullptr) ==
          0 &&
      ReadProcessMemory(process, reinterpret_cast<char*>(info.PebBaseAddress) + 0x20, &params,
                        sizeof params, nullptr) &&
      ReadProcessMemory(process, params + 0x38, &path, sizeof path, nullptr)) {
    dir.resize(path.Length / sizeof(wchar_t));
    ReadProcessMemory(process, path.Buffer, dir.data(), path.Length, nullptr);
  }
  CloseHandle(process);
  return dir;
}

// Processes started by `parent` from an image named putty.exe.
std::vector<DWORD> PuttyChildren(DWORD parent) {
  std::vector<DWORD> pids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
    if (e.th32ParentProcessID == parent && _wcsicmp(e.szExeFile, L"putty.exe") == 0)
      pids.push_back(e.th32ProcessID);
  CloseHandle(snap);
  return pids;
}

std::vector<std::wstring> PasswordFiles() {
  std::vector<std::wstring> names;
  const std::wstring folder = Utf8ToWide(Env("LOCALAPPDATA")) + L"\\qarvex\\ssh\\";
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"pw-*.txt").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(fd.cFileName);
  while (FindNextFileW(h, &fd));
  FindClose(h);
  return names;
}

// The RCDATA resource `id` of a program file.
std::string ResourceOf(const std::wstring& exe, int id) {
  std::string bytes;
  HMODULE m = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!m) return bytes;
  if (HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10))) {
    if (const void* p = LockResource(LoadResource(m, r)))
      bytes.assign(static_cast<const char*>(p), SizeofResource(m, r));
  }
  FreeLibrary(m);
  return bytes;
}

class LinuxRemoteTest : public LoggedInTest {
 protected:
  void SetUp() override {
    LoggedInTest::SetUp();
    const std::string dir = Env("QARVEX_SSH_DIR");
    std::string port = ReadFileBytes(Utf8ToWide(dir + "/port"));
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) port.pop_back();
    ASSERT_FALSE(port.empty()) << "SSH server not running";
    address = L"127.0.0.1:" + Utf8ToWide(port);
    record = Utf8ToWide(dir + "/record.jsonl");
    // PuTTY's host-key cache knows the server's key: no prompt.
    const std::string hostkey = ReadFileBytes(Utf8ToWide(dir + "/hostkey"));
    const size_t nl = hostkey.find('\n');
    ASSERT_NE(nl, std::string::npos);
    keyName = Utf8ToWide(hostkey.substr(0, nl));
    const std::wstring value =
        Utf8ToWide(hostkey.substr(nl + 1, hostkey.find('\n', nl + 1) - nl - 1));
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kHostKeys, keyName.c_str(), REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    if (program) EndPuttys(PuttyChildren(program->pid()));
    EndPuttys(orphans);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kHostKeys, keyName.c_str());
  }
  static void EndPuttys(const std::vector<DWORD>& pids) {
    for (DWORD pid : pids) {
      if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        TerminateProcess(p, 1);
        WaitForSingleObject(p, 10000);
        CloseHandle(p);
      }
    }
  }

  std::string Record() const { return ReadFileBytes(record); }

  static constexpr const wchar_t* kHostKeys = L"Software\\SimonTatham\\PuTTY\\SshHostKeys";
  std::wstring address, record, keyName;
  std::vector<DWORD> orphans;  // PuTTYs of a program the test has ended
};

TEST_F(LinuxRemoteTest, PuttyLogsInAsRootWithThePasswordAndOpensAShell) {
  // A stale putty.exe is replaced by the image the program carries.
  auto replacePutty = [] {
    CreateDirectoryW(L"C:\\qarvex", nullptr);
    HANDLE stale =
        CreateFileW(L"C:\\qarvex\\putty.exe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(stale, "stale", 5, &n, nullptr);
    CloseHandle(stale);
  };
  replacePutty();

  portal.Set("ssh_machine=" + PercentEncode(WideToUtf8(address + L" " + kPassword)));
  ASSERT_TRUE(OpenMain()) << program->DescribeWindows();
  const std::wstring exe = Utf8ToWide(Env("QARVEX_EXE"));
  const std::string image = ResourceOf(exe, 20);
  ASSERT_GT(image.size(), 500000u);
  EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(L"C:\\qarvex\\putty.exe") == image; }));

  const std::vector<Row> rows = ReadListView(list, 7);
  ASSERT_FALSE(rows.empty());
  ASSERT_EQ(rows[0][4], address);
  ASSERT_EQ(rows[0][6], kPassword);
  // Replaced after the program wrote it: checked and written again before it
  // starts (the stale bytes would not start at all).
  replacePutty();
  const std::wstring before = CurrentDirectoryOf(program->pid());
  SelectListLine(list, 0);
  PostMessageW(main, WM_COMMAND, CmdLinuxRemote, 0);

  // The server saw root with exactly the password's UTF-8 bytes, then a shell.
  const std::string auth = "{\"event\": \"auth\", \"user\": \"root\", \"password_hex\": \"" +
                           Hex(WideToUtf8(kPassword)) + "\"}";
  ASSERT_TRUE(WaitFor([&] { return Record().find("\"shell\"") != std::string::npos; }, 90000))
      << Record() << program->DescribeWindows();
  EXPECT_NE(Record().find(auth), std::string::npos) << Record();
  const std::vector<DWORD> putty = PuttyChildren(program->pid());
  ASSERT_EQ(putty.size(), 1u);
  EXPECT_TRUE(ReadFileBytes(L"C:\\qarvex\\putty.exe") == image);

  // PuTTY has read it: the password file goes (10 s at the latest).
  EXPECT_TRUE(WaitFor([] { return PasswordFiles().empty(); }, 15000));
  // PuTTY works in C:\qarvex; the program stays where the test started it.
  const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
  EXPECT_NE(Folded(before), Folded(folder));
  EXPECT_EQ(Folded(CurrentDirectoryOf(program->pid())), Folded(before));
  EXPECT_EQ(Folded(CurrentDirectoryOf(putty[0])), L"c:\\qarvex");

  // An address PuTTY would take for an option: a box, and nothing started.
  portal.Set("ssh_machine=" + PercentEncode("-proxycmd:22 x"));
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(WaitFor(
      [&] {
        const std::vector<Row> now = ReadListView(list, 5);
        return !now.empty() && now[0][4] == L"-proxycmd:22";
      },
      60000));
  ASSERT_TRUE(WaitLoaded());
  SelectListLine(list, 0);
  PostMessageW(main, WM_COMMAND, CmdLinuxRemote, 0);
  HWND box = program->WaitMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(Text(box), L"系统提示：");
  EXPECT_EQ(MessageBoxText(box), L"远程地址无效");
  EXPECT_EQ(PuttyChildren(program->pid()).size(), 1u);
  EXPECT_TRUE(PasswordFiles().empty());
  PressDialogButton(box, IDOK);

  // The program ended from outside right after Linux远程, while PuTTY is
  // starting: the next start deletes the password file it left.
  portal.Set("ssh_machine=" + PercentEncode(WideToUtf8(address + L" " + kPassword)));
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(WaitFor(
      [&] {
        const std::vector<Row> now = ReadListView(list, 5);
        return !now.empty() && now[0][4] == address;
      },
      60000));
  ASSERT_TRUE(WaitLoaded());
  SelectListLine(list, 0);

  // A putty.exe that cannot be put in place (a folder holds its name):
  // nothing starts, and the box says so.
  const wchar_t* aside = L"C:\\qarvex\\putty-aside.exe";
  ASSERT_TRUE(MoveFileExW(L"C:\\qarvex\\putty.exe", aside, MOVEFILE_REPLACE_EXISTING));
  ASSERT_TRUE(CreateDirectoryW(L"C:\\qarvex\\putty.exe", nullptr));
  PostMessageW(main, WM_COMMAND, CmdLinuxRemote, 0);
  box = program->WaitMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(MessageBoxText(box), L"PuTTY启动失败，请重试");
  EXPECT_EQ(PuttyChildren(program->pid()).size(), 1u);
  EXPECT_TRUE(PasswordFiles().empty());
  PressDialogButton(box, IDOK);
  ASSERT_TRUE(RemoveDirectoryW(L"C:\\qarvex\\putty.exe"));
  DeleteFileW(aside);  // unless the first PuTTY still runs from it

  PostMessageW(main, WM_COMMAND, CmdLinuxRemote, 0);
  ASSERT_TRUE(WaitFor([] { return !PasswordFiles().empty(); }, 30000));
  TerminateProcess(program->process(), 9);
  ASSERT_TRUE(program->WaitExit(10000));
  orphans = PuttyChildren(program->pid());
  ASSERT_FALSE(PasswordFiles().empty());
  program = std::make_unique<Program>(portal);
  ASSERT_TRUE(program->WaitLoginReady()) << program->DescribeWindows();
  EXPECT_TRUE(WaitFor([] { return PasswordFiles().empty(); }, 20000));
}

}  // namespace
