// The skin engine: re-skins every window and control of the window thread
// once a skin is attached, also those created later (a thread CBT hook
// subclasses each new window). Frames and captions are painted by the engine
// (with working caption buttons), as are the window backgrounds, buttons,
// edits and their cue banners, labels (a window's own label colours and
// transparent backgrounds are kept), group boxes, the list view and its
// header, the window scroll bars of lists and edits, popup menus and message
// boxes. The glass effect is a soft shadow window behind each top-level
// window. Call from the window thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>

namespace qx {

struct SkinEngine {
  // Attaches a skin file (skin/skin_file.h) from memory, over the skin
  // attached before, and re-skins every open window at once. The password is
  // for protected skins, which this format does not have; hue (degrees),
  // saturation and brightness (percent) shift every colour of the skin.
  // False when the file is refused or the engine cannot start: the windows
  // then keep the look they had (the system look when no skin was attached).
  static bool AttachRes(const void* bytes, size_t length, std::string_view password, int hue,
                        int saturation, int brightness);

  // Tunes the glass effect: the top-level windows' opacity (0..255), the
  // shadow's darkness (peak alpha 1..255; 0 for the engine's own) and
  // sharpness (1..100, a steeper falloff; 0 for the engine's own), its size
  // in pixels, its offset and its colour.
  static void AdjustAero(int opacity, int darkness, int sharpness, int size, int offsetX,
                         int offsetY, int red, int green, int blue);
  // Switches the glass effect on (1) or off (0) for every top-level window.
  static void SetAero(int enable);

  // The window property that holds the checksum of the skin a top-level
  // window is drawn with (absent: the system look).
  static constexpr const wchar_t* kSkinProperty = L"QarvexSkin";
};

}  // namespace qx
