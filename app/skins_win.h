// The program's three skins (embedded resources) and the 皮肤 menu commands.
#pragma once

namespace qx {

enum class SkinChoice { Blue, White, Default };

// Attaches one of the program's skins; every open window takes it at once.
// False when the skin engine refuses it (the windows keep their look).
bool AttachSkin(SkinChoice choice);

// 默认: the default skin, then the glass effect with the given shadow size
// and opacity, switched on for the rest of the run.
void AttachDefaultSkinWithGlass(int shadowSize = 6, int opacity = 255);

// 皮肤 → 白 / 蓝 / 默认 (CmdSkinWhite, CmdSkinBlue, CmdSkinDefault); false for
// any other command.
bool RunSkinCommand(int command);

}  // namespace qx
