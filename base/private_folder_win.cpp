#include "base/private_folder_win.h"

// After windows.h:
#include <sddl.h>
#include <shlobj.h>

#include <cstdint>
#include <vector>

#include "base/config.h"
#include "base/os_win.h"
#include "base/private_folder.h"

namespace qx {
namespace {

// A SID as text ("S-1-5-21-…"); empty on failure.
Text SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!sid || !ConvertSidToStringSidW(sid, &text)) return {};
  const UniqueLocal owned(text);
  return Narrow(text);
}

// One class of the process token's information, in a buffer aligned for its
// structures; empty on failure.
std::vector<std::uintptr_t> TokenInformation(TOKEN_INFORMATION_CLASS what) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const UniqueHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), what, nullptr, 0, &size);
  std::vector<std::uintptr_t> buffer((size + sizeof(std::uintptr_t) - 1) / sizeof(std::uintptr_t));
  if (size == 0 || !GetTokenInformation(token.get(), what, buffer.data(), size, &size)) return {};
  return buffer;
}

const Text& UserSid() {
  static const Text sid = [] {
    const auto user = TokenInformation(TokenUser);
    return user.empty() ? Text()
                        : SidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
  }();
  return sid;
}

// Whether the user belongs to Administrators, elevated now or not (a
// filtered token keeps the group for denying only).
bool UserIsAdministrator() {
  static const bool member = [] {
    const auto buffer = TokenInformation(TokenGroups);
    if (buffer.empty()) return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
      const SID_AND_ATTRIBUTES& g = groups->Groups[i];
      if ((g.Attributes & (SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY)) &&
          SidText(g.Sid) == kAdministratorsSid)
        return true;
    }
    return false;
  }();
  return member;
}

Text OwnerOf(const std::wstring& folder) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                            nullptr, nullptr, nullptr, &sd) != ERROR_SUCCESS)
    return {};
  const UniqueLocal owned(sd);
  return SidText(owner);
}

// The program keeps no DLL in its folders: any there could be loaded by
// putty.exe. False when one stays.
bool DeleteDlls(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((folder + L"\\*.dll").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return true;
  bool gone = true;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::wstring path = folder + L"\\" + fd.cFileName;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(path.c_str())) gone = false;
  } while (FindNextFileW(find, &fd));
  FindClose(find);
  return gone;
}

std::wstring WithoutFinalBackslash(std::wstring path) {
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace

UniqueLocal PrivateDescriptor() {
  const Text sddl = PrivateFolderSddl(UserSid());
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (sddl.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                          Wide(sddl).c_str(), SDDL_REVISION_1, &sd, nullptr))
    return {};
  return UniqueLocal(sd);
}

bool MakePrivateFolder(const std::wstring& folder, SetSecurity setSecurity) {
  const UniqueLocal sd = PrivateDescriptor();
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!sd || !GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted) || !dacl)
    return false;
  SECURITY_ATTRIBUTES sa{sizeof sa, sd.get(), FALSE};
  if (!CreateDirectoryW(folder.c_str(), &sa)) {
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return false;
    if (!OwnerIsUsers(OwnerOf(folder), UserSid(), UserIsAdministrator())) return false;
  }
  // Set on a folder just made too: one way for both. It reaches the files
  // and folders inside that inherit.
  std::wstring name = folder;  // the call takes a writable string
  if (setSecurity(name.data(), SE_FILE_OBJECT,
                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                  dacl, nullptr) != ERROR_SUCCESS)
    return false;
  return DeleteDlls(folder);
}

bool DataFolderIsUsers() {
  static const bool users = [] {
    const std::wstring standIn = EnvironmentValue(L"QARVEX_DATA_DIR_OWNER");
    if (!standIn.empty() && !OwnerIsUsers(Narrow(standIn), UserSid(), UserIsAdministrator()))
      return false;
    return MakePrivateFolder(WithoutFinalBackslash(Wide(kDataDir)));
  }();
  return users;
}

bool InRefusedDataFolder(std::string_view path) {
  return StartsWithNoCase(path, LowerAsciiBytes(kDataDir)) && !DataFolderIsUsers();
}

std::wstring LocalFolderPath() {
  std::wstring base = EnvironmentValue(L"LOCALAPPDATA");
  if (base.empty()) {
    wchar_t path[MAX_PATH] = {};  // the API's own limit
    if (FAILED(
            SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path)))
      return {};
    base = path;
  }
  return WithoutFinalBackslash(base) + L"\\qarvex\\";
}

std::wstring LocalPrivateFolder() {
  const std::wstring folder = LocalFolderPath();
  return !folder.empty() && MakePrivateFolder(WithoutFinalBackslash(folder)) ? folder
                                                                             : std::wstring();
}

std::wstring PrivateFilesFolder() {
  return DataFolderIsUsers() ? Wide(kDataDir) : LocalPrivateFolder();
}

}  // namespace qx
