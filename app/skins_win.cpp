#include "app/skins_win.h"

#include <windows.h>

#include <string_view>

#include "app/commands.h"
#include "app/window_util_win.h"
#include "base/timing.h"
#include "skin/skin_engine_win.h"

namespace qx {
namespace {

constexpr int kFirstSkinResource = 30;  // 30 蓝, 31 白, 32 默认 (resources/qarvex.rc)

std::string_view ResourceBytes(int id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL loaded = res ? LoadResource(module, res) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const char*>(data), SizeofResource(module, res)};
}

// The skin file's bytes; they stay valid for the life of the process.
// QARVEX_SKIN_FILE names a file read in place of the blue skin (to try a
// damaged skin).
std::string_view SkinBytes(SkinChoice choice) {
  if (choice == SkinChoice::Blue) {
    static const Bytes* replacement = [] {
      const std::wstring path = EnvironmentValue(L"QARVEX_SKIN_FILE");
      if (path.empty()) return static_cast<Bytes*>(nullptr);
      auto* bytes = new Bytes;
      // A file that cannot be read is an empty skin, which the engine
      // refuses like a damaged one: the windows keep their look.
      static_cast<void>(ReadWholeFile(Narrow(path), *bytes, 1 << 20));
      return bytes;
    }();
    if (replacement) return *replacement;
  }
  return ResourceBytes(kFirstSkinResource + static_cast<int>(choice));
}

}  // namespace

bool AttachSkin(SkinChoice choice) {
  TimingLine timing("skin");
  const std::string_view bytes = SkinBytes(choice);
  const bool attached = SkinEngine::AttachRes(bytes.data(), bytes.size(), "", 0, 0, 0);
  timing.Total();
  timing.Add("attached", attached);
  timing.Report();
  return attached;
}

void AttachDefaultSkinWithGlass(int shadowSize, int opacity) {
  AttachSkin(SkinChoice::Default);
  SkinEngine::AdjustAero(opacity, 0, 0, shadowSize, 0, 0, 0, 0, 0);
  SkinEngine::SetAero(1);
}

bool RunSkinCommand(int command) {
  switch (command) {
    case CmdSkinWhite:
      AttachSkin(SkinChoice::White);
      return true;
    case CmdSkinBlue:
      AttachSkin(SkinChoice::Blue);
      return true;
    case CmdSkinDefault:
      AttachDefaultSkinWithGlass();
      return true;
  }
  return false;
}

}  // namespace qx
