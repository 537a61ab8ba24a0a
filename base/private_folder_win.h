// The folders that hold the user's secrets, made and kept private: the data
// folder C:\qarvex\ (config.ini with the password, the control panel's page,
// putty.exe) and %LOCALAPPDATA%\qarvex\ (the SSH password files; putty.exe
// when C:\qarvex\ is refused). Their DACL is PrivateFolderSddl's.
#pragma once

#include <windows.h>
// After windows.h:
#include <aclapi.h>

#include <string>
#include <string_view>

#include "base/handles_win.h"

namespace qx {

// The security descriptor of a private folder's DACL for the current user
// (PrivateFolderSddl); empty on failure.
UniqueLocal PrivateDescriptor();

// How the DACL is set on a folder: SetNamedSecurityInfoW (the tests record
// the call).
using SetSecurity = DWORD(WINAPI*)(LPWSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL,
                                   PACL);

// Makes `folder` (without a final backslash) private: creates it with the
// private DACL, or, when it exists and is the user's (OwnerIsUsers), sets
// that DACL on it again (a folder made with wider access is mended; the files
// inside inherit it), and deletes any DLL in it (none is ours: one there was
// put beside putty.exe while the folder was open). False when the folder is
// another account's, a link, or cannot be made private; it is left as it is.
[[nodiscard]] bool MakePrivateFolder(const std::wstring& folder,
                                     SetSecurity setSecurity = SetNamedSecurityInfoW);

// Whether C:\qarvex\ is the user's and private, decided once per run (the
// first call makes or mends it). When it is not, the program neither reads
// nor writes its files there (ReadWholeFile, WriteWholeFile, DeleteFileGbk)
// and starts no program from it.
// QARVEX_DATA_DIR_OWNER (a SID) stands in for the folder's owner when it
// would refuse the folder: the tests' foreign folder, since Wine reports every
// file as its user's own.
bool DataFolderIsUsers();
// True when `path` (GBK) lies in C:\qarvex\ and that folder is refused.
bool InRefusedDataFolder(std::string_view path);

// %LOCALAPPDATA%\qarvex\ with its final backslash, neither made nor
// checked; empty when there is no %LOCALAPPDATA%.
std::wstring LocalFolderPath();
// LocalFolderPath(), private; empty when it cannot be made so.
std::wstring LocalPrivateFolder();
// Where the private files go, with its final backslash: C:\qarvex\ when it
// is the user's, else LocalPrivateFolder(); empty when neither is private.
std::wstring PrivateFilesFolder();

}  // namespace qx
