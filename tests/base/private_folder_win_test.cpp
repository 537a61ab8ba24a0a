// A private folder's DACL as the program sets it (run under Wine). Wine
// takes the DACL but reads back one made from the Unix mode bits, so the
// call is recorded instead: what is asked for is what Windows keeps.
#include "base/private_folder_win.h"

#include <gtest/gtest.h>
// After windows.h:
#include <sddl.h>

#include <string>
#include <vector>

using namespace qx;

namespace {

struct SetCall {
  std::wstring path;
  SECURITY_INFORMATION what = 0;
  std::wstring dacl;  // as SDDL
};
std::vector<SetCall> g_calls;

DWORD WINAPI RecordSet(LPWSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PSID owner,
                       PSID group, PACL dacl, PACL sacl) {
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&sd, TRUE, dacl, FALSE);
  wchar_t* text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorW(&sd, SDDL_REVISION_1,
                                                       DACL_SECURITY_INFORMATION, &text, nullptr);
  g_calls.push_back({path, what, text ? text : L""});
  LocalFree(text);
  return SetNamedSecurityInfoW(path, type, what, owner, group, dacl, sacl);
}

std::wstring UserSid() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  std::vector<void*> buffer(128);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, buffer.data(), buffer.size() * sizeof(void*), &size);
  CloseHandle(token);
  wchar_t* text = nullptr;
  ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text);
  std::wstring sid = text ? text : L"";
  LocalFree(text);
  return sid;
}

void Touch(const std::wstring& path) {
  CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

}  // namespace

TEST(PrivateFolderWin, MadeOrMendedWithTheProtectedDaclAndNoDllLeft) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"qarvex-private-" + std::to_wstring(GetCurrentProcessId());
  // Made earlier with the access of the folder above, a DLL planted in it.
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  Touch(folder + L"\\version.dll");
  Touch(folder + L"\\config.ini");
  const std::wstring inside = folder + L"\\ssh";  // new
  const std::wstring file = folder + L"\\config.ini";

  EXPECT_TRUE(MakePrivateFolder(folder, RecordSet));
  EXPECT_TRUE(MakePrivateFolder(inside, RecordSet));
  EXPECT_FALSE(MakePrivateFolder(file, RecordSet));  // not a folder: left alone
  const std::wstring dacl = L"D:(A;OICI;FA;;;" + UserSid() + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  ASSERT_EQ(g_calls.size(), 2u);
  for (const SetCall& call : g_calls) {
    EXPECT_EQ(call.what, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION);
    EXPECT_EQ(call.dacl, dacl);
  }
  EXPECT_EQ(g_calls[0].path, folder);
  EXPECT_EQ(g_calls[1].path, inside);
  EXPECT_EQ(GetFileAttributesW((folder + L"\\version.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);

  DeleteFileW(file.c_str());
  RemoveDirectoryW(inside.c_str());
  RemoveDirectoryW(folder.c_str());
}
