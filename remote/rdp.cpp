#include "remote/rdp.h"

#include <algorithm>
#include <array>
#include <string>

namespace qx {
namespace {

constexpr std::string_view kTemplate =
    "screen mode id:i:quanping\r\n"
    "desktopwidth:i:1024\r\n"
    "desktopheight:i:768\r\n"
    "session bpp:i:16\r\n"
    "winposstr:s:0,1,444,222,1740,1029\r\n"
    "full address:s:ipAddr\r\n"
    "compression:i:1\r\n"
    "keyboardhook:i:2\r\n"
    "audiomode:i:0\r\n"
    "redirectdrives:i:0\r\n"
    "redirectprinters:i:1\r\n"
    "redirectcomports:i:0\r\n"
    "redirectsmartcards:i:1\r\n"
    "displayconnectionbar:i:1\r\n"
    "autoreconnection enabled:i:1\r\n"
    "username:s:Username\r\n"
    "domain:s:\r\n"
    "alternate shell:s:\r\n"
    "shell working directory:s:\r\n"
    "password 51:b:Password\r\n"
    "disable wallpaper:i:1\r\n"
    "disable full window drag:i:1\r\n"
    "disable menu anims:i:1\r\n"
    "disable themes:i:0\r\n"
    "disable cursor setting:i:0\r\n"
    "bitmapcachepersistenable:i:1";

bool IsControl(unsigned char c) { return c < 32 || c == 127; }

// A GBK trail byte: 0x40..0xFE without 0x7F.
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

bool IsDeviceName(std::string_view stem) {
  // The part before the first dot decides, whatever its case.
  stem = stem.substr(0, stem.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  const Text upper = ToUpperAscii(stem);
  for (const char* name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (upper == name) return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '0' && upper[3] <= '9';
}

}  // namespace

std::string_view RdpTemplate() { return kTemplate; }

Text RdpLineValue(std::string_view value) {
  Text out;
  out.reserve(value.size());
  for (char c : value)
    if (!IsControl(static_cast<unsigned char>(c))) out += c;
  return out;
}

Text BuildRdpText(std::string_view address, std::string_view account,
                  std::string_view protectedPassword,
                  const std::optional<DisplaySettings>& settings) {
  Text mode = "1", width = "1024", height = "768";
  if (settings) {
    if (!settings->fullScreenMode.empty()) mode = settings->fullScreenMode;
    if (settings->desktopWidth.empty()) {
      width = "1280";
      height = "720";
    } else {
      width = settings->desktopWidth;
      height = settings->desktopHeight.empty() ? Text("720") : settings->desktopHeight;
    }
  }
  struct Fill {
    std::string_view placeholder;
    Text value;
    size_t at;
  };
  std::array<Fill, 6> fills{{{"quanping", RdpLineValue(mode), 0},
                             {"1024", RdpLineValue(width), 0},
                             {"768", RdpLineValue(height), 0},
                             {"ipAddr", RdpLineValue(address), 0},
                             {"Username", RdpLineValue(account), 0},
                             {"Password", RdpLineValue(protectedPassword), 0}}};
  // Each placeholder stands once in the template: fill them in template order.
  for (Fill& f : fills) f.at = kTemplate.find(f.placeholder);
  std::sort(fills.begin(), fills.end(), [](const Fill& a, const Fill& b) { return a.at < b.at; });
  Text out;
  size_t from = 0;
  for (const Fill& f : fills) {
    out.append(kTemplate.substr(from, f.at - from));
    out += f.value;
    from = f.at + f.placeholder.size();
  }
  out.append(kTemplate.substr(from));
  return out;
}

Text RdpFileName(std::string_view businessId) {
  Text stem;
  stem.reserve(businessId.size());
  for (size_t i = 0; i < businessId.size(); ++i) {
    const auto c = static_cast<unsigned char>(businessId[i]);
    if (c >= 0x81 && c <= 0xFE) {
      // A double-byte character stays whole (its second byte may be 0x5C or
      // 0x7C); a lead byte without a proper trail byte is replaced.
      if (i + 1 < businessId.size() && IsTrailByte(static_cast<unsigned char>(businessId[i + 1]))) {
        stem.append(businessId.substr(i, 2));
        ++i;
      } else {
        stem += '_';
      }
      continue;
    }
    if (IsControl(c) || c == 0xFF || Text("\\/:*?\"<>|").find(static_cast<char>(c)) != Text::npos)
      stem += '_';
    else
      stem += static_cast<char>(c);
  }
  while (!stem.empty() && (stem.back() == '.' || stem.back() == ' ')) stem.pop_back();
  if (stem.empty()) stem = "rdp";
  if (IsDeviceName(stem)) stem = "_" + stem;
  return stem + ".rdp";
}

Text RdpConnectionFileName(std::string_view businessId, unsigned n) {
  Text name = RdpFileName(businessId);
  if (n == 0) return name;
  name.resize(name.size() - 4);  // ".rdp"
  name += "~连接";
  if (n > 1) name += std::to_string(n);
  return name + ".rdp";
}

}  // namespace qx
