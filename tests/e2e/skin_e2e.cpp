// The skins, driven through the real program: switching while the list
// loads keeps every window answering, and a damaged skin file leaves the
// system look.
#include <windows.h>
// The other Windows headers need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app/commands.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/driver_list.h"

using namespace e2e;
using namespace qx;  // control and command ids

namespace {

constexpr wchar_t kSkinProperty[] = L"QarvexSkin";
constexpr wchar_t kShadowClass[] = L"QarvexSkinShadow";

std::string SkinFile(const char* name) {
  const char* dir = std::getenv("QARVEX_SKIN_DIR");
  return ReadFileBytes(Utf8ToWide(std::string(dir ? dir : ".") + "/" + name));
}
// The checksum a skin file carries (bytes 12..15), which the program puts
// on each window it draws with that skin.
uintptr_t Checksum(const std::string& file) {
  if (file.size() < 16) return 0;
  uintptr_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(file[12 + i]);
  return v;
}
uintptr_t SkinOf(HWND hwnd) { return reinterpret_cast<uintptr_t>(GetPropW(hwnd, kSkinProperty)); }

class SkinTest : public LoggedInTest {
 protected:
  // Opens the main window, noting the login window's skin and client size.
  HWND OpenSkinned(const std::vector<std::wstring>& env = {}) {
    return OpenMain({}, env, [&](HWND login) {
      loginSkin = SkinOf(login);
      GetClientRect(login, &loginClient);
    });
  }

  uintptr_t loginSkin = 0;
  RECT loginClient{};
};

TEST_F(SkinTest, SwitchingSkinsWhileTheListLoadsKeepsEveryWindowAnswering) {
  const uintptr_t blue = Checksum(SkinFile("blue.skin")), white = Checksum(SkinFile("white.skin")),
                  neutral = Checksum(SkinFile("default.skin"));
  ASSERT_TRUE(blue && white && neutral);
  ASSERT_TRUE(OpenSkinned()) << program->DescribeWindows();
  EXPECT_EQ(loginSkin, blue);         // attached when the login window was created
  EXPECT_EQ(loginClient.right, 347);  // the client size of the layout, under the skin's frame
  EXPECT_EQ(loginClient.bottom, 223);
  EXPECT_EQ(SkinOf(main), blue);
  EXPECT_FALSE(program->FindWindowByClass(kShadowClass));  // no glass before 默认
  RECT before;
  GetClientRect(main, &before);

  // A slow portal, so that the reload is still running while the skins change.
  portal.Set("latency_ms=400");
  StallProbe probe(program->pid());
  PostMessageW(main, WM_COMMAND, CmdRefresh, 0);
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(GetDlgItem(main, IdMainLoadingLabel)); }));

  struct Step {
    int command;
    uintptr_t skin;
  };
  const Step steps[] = {{CmdSkinWhite, white}, {CmdSkinDefault, neutral}, {CmdSkinBlue, blue},
                        {CmdSkinBlue, blue},   {CmdSkinDefault, neutral}, {CmdSkinWhite, white}};
  bool switchedDuringLoad = false;
  for (const Step& step : steps) {
    PostMessageW(main, WM_COMMAND, step.command, 0);
    ASSERT_TRUE(WaitFor([&] { return SkinOf(main) == step.skin; }, 10000));
    if (!Loaded(main)) switchedDuringLoad = true;
  }
  EXPECT_TRUE(switchedDuringLoad) << "the load ended before the skins changed";
  // Every window answered all along.
  EXPECT_TRUE(AnsweredPromptly(probe.Take()));

  // The load was not disturbed, and the glass stays on under the white skin.
  ASSERT_TRUE(WaitFor([&] { return Loaded(main); }, 60000));
  EXPECT_EQ(ListItemCount(GetDlgItem(main, IdMainList)), 36);
  EXPECT_EQ(SkinOf(main), white);
  EXPECT_TRUE(WaitFor([&] { return program->FindWindowByClass(kShadowClass) != nullptr; }));
  // The client area keeps its size under every skin.
  RECT after;
  GetClientRect(main, &after);
  EXPECT_EQ(after.right, before.right);
  EXPECT_EQ(after.bottom, before.bottom);
}

TEST_F(SkinTest, ADamagedSkinLeavesTheSystemLook) {
  std::string damaged = SkinFile("blue.skin");
  ASSERT_GT(damaged.size(), 100u);
  damaged[damaged.size() / 2] ^= 0x20;
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  const std::wstring path = std::wstring(dir) + L"qarvex-damaged.skin";
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(f, damaged.data(), static_cast<DWORD>(damaged.size()), &written, nullptr);
  CloseHandle(f);

  ASSERT_TRUE(OpenSkinned({L"QARVEX_SKIN_FILE=" + path})) << program->DescribeWindows();
  EXPECT_EQ(loginSkin, 0u);
  EXPECT_EQ(SkinOf(main), 0u);
  RECT client, outer;
  GetClientRect(main, &client);
  GetWindowRect(main, &outer);
  RECT system{0, 0, client.right, client.bottom};
  AdjustWindowRectEx(&system, static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(main, GWL_EXSTYLE)));
  EXPECT_EQ(outer.bottom - outer.top, system.bottom - system.top);  // the system's frame
  EXPECT_EQ(ListItemCount(GetDlgItem(main, IdMainList)), 36);

  // A good skin still attaches afterwards.
  PostMessageW(main, WM_COMMAND, CmdSkinWhite, 0);
  EXPECT_TRUE(WaitFor([&] { return SkinOf(main) == Checksum(SkinFile("white.skin")); }, 10000));
  EXPECT_TRUE(program->Running());
  DeleteFileW(path.c_str());
}

}  // namespace
