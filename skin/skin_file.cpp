#include "skin/skin_file.h"

#include <algorithm>
#include <bitset>
#include <cmath>

namespace qx {
namespace {

constexpr char kMagic[4] = {'Q', 'X', 'S', 'K'};
constexpr uint16_t kTagName = 1, kTagFont = 2, kTagColours = 16, kTagMetrics = 17;
constexpr size_t kMaxName = 64, kMaxFont = 96;

struct Range {
  int low, high;
};
constexpr Range kMetricRanges[kSkinMetricCount] = {
    {16, 64}, {1, 12}, {0, 16}, {0, 12}, {8, 32}, {100, 900}, {16, 64}, {16, 48},
};

uint16_t U16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t U32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(U16(b, at)) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

bool GoodText(std::string_view t, size_t max) {
  return !t.empty() && t.size() <= max && t.find('\0') == std::string_view::npos;
}

}  // namespace

uint32_t Crc32(std::string_view bytes) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (char ch : bytes) crc = table[(crc ^ static_cast<uint8_t>(ch)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

SkinError ParseSkinFile(std::string_view bytes, SkinFile& out) {
  if (bytes.size() < kSkinHeaderSize) return SkinError::TooShort;
  if (!std::equal(kMagic, kMagic + 4, bytes.begin())) return SkinError::BadMagic;
  if (U16(bytes, 4) != kSkinFormatVersion) return SkinError::BadVersion;
  const size_t headerSize = U16(bytes, 6);
  const size_t fileSize = U32(bytes, 8);
  if (fileSize > bytes.size()) return SkinError::TooShort;
  if (headerSize < kSkinHeaderSize || headerSize > fileSize || fileSize != bytes.size())
    return SkinError::BadHeader;
  const std::string_view body = bytes.substr(headerSize);
  const uint32_t checksum = U32(bytes, 12);
  if (Crc32(body) != checksum) return SkinError::BadChecksum;

  SkinFile skin;
  skin.checksum = checksum;
  std::bitset<kSkinColourCount> haveColour;
  std::bitset<kSkinMetricCount> haveMetric;
  bool haveName = false, haveFont = false;
  size_t at = 0;
  while (at < body.size()) {
    if (body.size() - at < 4) return SkinError::BadRecord;
    const uint16_t tag = U16(body, at), size = U16(body, at + 2);
    at += 4;
    if (size > body.size() - at) return SkinError::BadRecord;
    const std::string_view payload = body.substr(at, size);
    at += size;
    switch (tag) {
      case kTagName:
      case kTagFont: {
        bool& have = tag == kTagName ? haveName : haveFont;
        if (have) return SkinError::Duplicate;
        if (!GoodText(payload, tag == kTagName ? kMaxName : kMaxFont)) return SkinError::BadValue;
        (tag == kTagName ? skin.name : skin.fontFace) = std::string(payload);
        have = true;
        break;
      }
      case kTagColours:
        if (payload.size() % 4) return SkinError::BadRecord;
        for (size_t i = 0; i < payload.size(); i += 4) {
          const size_t role = static_cast<uint8_t>(payload[i]);
          if (role >= kSkinColourCount) continue;  // a role of a later version
          if (haveColour[role]) return SkinError::Duplicate;
          haveColour[role] = true;
          skin.colours[role] = {static_cast<uint8_t>(payload[i + 1]),
                                static_cast<uint8_t>(payload[i + 2]),
                                static_cast<uint8_t>(payload[i + 3])};
        }
        break;
      case kTagMetrics:
        if (payload.size() % 3) return SkinError::BadRecord;
        for (size_t i = 0; i < payload.size(); i += 3) {
          const size_t metric = static_cast<uint8_t>(payload[i]);
          if (metric >= kSkinMetricCount) continue;
          if (haveMetric[metric]) return SkinError::Duplicate;
          const int value = static_cast<int16_t>(U16(payload, i + 1));
          if (value < kMetricRanges[metric].low || value > kMetricRanges[metric].high)
            return SkinError::BadValue;
          haveMetric[metric] = true;
          skin.metrics[metric] = value;
        }
        break;
      default:
        break;  // a record of a later version
    }
  }
  if (!haveName || !haveFont || !haveColour.all() || !haveMetric.all()) return SkinError::Missing;
  out = std::move(skin);
  return SkinError::None;
}

Rgb AdjustColour(Rgb c, int hue, int saturation, int brightness) {
  if (hue == 0 && saturation == 0 && brightness == 0) return c;
  hue = std::clamp(hue, -180, 180);
  saturation = std::clamp(saturation, -100, 100);
  brightness = std::clamp(brightness, -100, 100);
  // RGB -> HSL
  const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double h = 0, s = 0, l = (mx + mn) / 2;
  const double d = mx - mn;
  if (d > 1e-9) {
    s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
    if (mx == r)
      h = std::fmod((g - b) / d + 6, 6.0);
    else if (mx == g)
      h = (b - r) / d + 2;
    else
      h = (r - g) / d + 4;
    h *= 60;
  }
  h = std::fmod(h + hue + 360, 360.0);
  s = std::clamp(s * (100 + saturation) / 100.0, 0.0, 1.0);
  l = brightness > 0 ? l + (1 - l) * brightness / 100.0 : l + l * brightness / 100.0;
  l = std::clamp(l, 0.0, 1.0);
  // HSL -> RGB
  const double q = l < 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q;
  auto channel = [&](double t) {
    t = std::fmod(t + 360, 360.0);
    double v = t < 60    ? p + (q - p) * t / 60
               : t < 180 ? q
               : t < 240 ? p + (q - p) * (240 - t) / 60
                         : p;
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return {channel(h + 120), channel(h), channel(h - 120)};
}

void AdjustSkinColours(SkinFile& skin, int hue, int saturation, int brightness) {
  for (Rgb& c : skin.colours) c = AdjustColour(c, hue, saturation, brightness);
}

}  // namespace qx
