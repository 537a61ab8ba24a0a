// The skin file: a small versioned binary file with the colours, metrics and
// font of one skin. Portable; read defensively (a damaged file is refused as
// a whole and nothing is ever read past the end of the bytes given).
//
// Layout (integers little-endian):
//   0  4  magic "QXSK"
//   4  2  format version (1)
//   6  2  header size in bytes (16 in version 1; larger headers are skipped)
//   8  4  file size in bytes (the whole file)
//  12  4  CRC-32 (IEEE, as zlib computes it) of every byte after the header
//  then records up to the end of the file, each:
//      2  tag, 2  payload size, payload
//   tag 1 name   UTF-8 text, 1..64 bytes, no NUL
//   tag 2 font   UTF-8 face name, 1..96 bytes, no NUL
//   tag 16 colours: entries of 4 bytes (role, red, green, blue)
//   tag 17 metrics: entries of 3 bytes (metric, value as a signed 16-bit)
// Records of other tags are skipped (later additions). Every colour role and
// every metric must be given exactly once, each metric within its range;
// roles and metrics this version does not know are skipped.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

enum class SkinColour : uint8_t {
  Window,  // client background
  Text,    // default text
  Frame,   // outline of a window frame
  CaptionTop,
  CaptionBottom,
  CaptionInactiveTop,
  CaptionInactiveBottom,
  CaptionText,
  CaptionTextInactive,
  CaptionButtonHot,
  CaptionButtonPressed,
  CloseHot,
  ClosePressed,
  ButtonTop,
  ButtonBottom,
  ButtonBorder,
  ButtonText,
  ButtonHotTop,
  ButtonHotBottom,
  ButtonPressedTop,
  ButtonPressedBottom,
  ButtonDisabledFace,
  ButtonDisabledText,
  ButtonDefaultBorder,
  EditBack,
  EditText,
  EditBorder,
  EditFocusBorder,
  EditDisabledBack,
  EditDisabledText,
  CueText,
  GroupBorder,
  GroupText,
  ListBack,
  ListText,
  ListAltBack,
  ListSelectBack,
  ListSelectText,
  HeaderTop,
  HeaderBottom,
  HeaderText,
  HeaderDivider,
  ScrollTrack,
  ScrollThumb,
  ScrollThumbHot,
  ScrollArrow,
  MenuBack,
  MenuText,
  MenuHotBack,
  MenuHotText,
  MenuDisabledText,
  MenuSeparator,
  MenuBorder,
  CaptionGlyph,
  Count
};
constexpr int kSkinColourCount = static_cast<int>(SkinColour::Count);

enum class SkinMetric : uint8_t {
  CaptionHeight,       // 16..64 px
  BorderWidth,         // 1..12 px
  FrameRadius,         // 0..16 px, the rounded corners of top-level windows
  ButtonRadius,        // 0..12 px
  CaptionFontSize,     // 8..32 px
  CaptionFontWeight,   // 100..900
  CaptionButtonWidth,  // 16..64 px
  MenuItemHeight,      // 16..48 px
  Count
};
constexpr int kSkinMetricCount = static_cast<int>(SkinMetric::Count);

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct SkinFile {
  uint32_t checksum = 0;  // the file's CRC-32: tells skins apart
  std::string name;       // UTF-8
  std::string fontFace;   // UTF-8
  std::array<Rgb, kSkinColourCount> colours{};
  std::array<int, kSkinMetricCount> metrics{};

  Rgb colour(SkinColour c) const { return colours[static_cast<size_t>(c)]; }
  int metric(SkinMetric m) const { return metrics[static_cast<size_t>(m)]; }
};

enum class SkinError {
  None,
  TooShort,  // shorter than a header, or than the size it states
  BadMagic,
  BadVersion,
  BadHeader,    // header size or file size out of place
  BadChecksum,  // the bytes were changed
  BadRecord,    // a record runs past the end, or a payload has the wrong shape
  BadValue,     // a metric out of range, a text empty, too long or holding NUL
  Duplicate,    // a colour or metric given twice, a name or font twice
  Missing,      // a colour, metric, the name or the font not given
};

constexpr uint32_t kSkinFormatVersion = 1;
constexpr size_t kSkinHeaderSize = 16;

// Reads a skin file; on failure `out` is left as it was.
SkinError ParseSkinFile(std::string_view bytes, SkinFile& out);

// CRC-32 (IEEE 802.3, reflected, as zlib) of the bytes.
uint32_t Crc32(std::string_view bytes);

// The colour shifted in hue (degrees, -180..180), with saturation and
// brightness changed by a percentage (-100..100); all zero keeps it as it is.
Rgb AdjustColour(Rgb c, int hue, int saturation, int brightness);
void AdjustSkinColours(SkinFile& skin, int hue, int saturation, int brightness);

}  // namespace qx
