// The code-page seam off Windows (the native test build): UTF-8 by hand, GBK
// through iconv. Invalid input becomes U+FFFD, characters that GBK lacks
// become "?", as the Windows conversions do.
#include <iconv.h>

#include <cerrno>

#include "base/codepage.h"

namespace qx {
namespace {

void PutUnit(Bytes& out, unsigned u) {
  out.push_back(static_cast<char>(u & 0xFF));
  out.push_back(static_cast<char>(u >> 8));
}

void PutCodePoint(Bytes& out, unsigned cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    PutUnit(out, 0xD800 + (cp >> 10));
    PutUnit(out, 0xDC00 + (cp & 0x3FF));
  } else {
    PutUnit(out, cp);
  }
}

Bytes Utf8ToWide(std::string_view s) {
  Bytes out;
  out.reserve(s.size() * 2);
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    unsigned cp, need;
    if (c < 0x80) {
      PutUnit(out, c);
      ++i;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF) {
      cp = c & 0x1F;
      need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      cp = c & 0x0F;
      need = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      cp = c & 0x07;
      need = 3;
    } else {
      PutUnit(out, 0xFFFD);
      ++i;
      continue;
    }
    size_t j = 1;
    for (; j <= need && i + j < s.size(); ++j) {
      unsigned char d = static_cast<unsigned char>(s[i + j]);
      if ((d & 0xC0) != 0x80) break;
      cp = (cp << 6) | (d & 0x3F);
    }
    bool overlong = (need == 2 && cp < 0x800) || (need == 3 && cp < 0x10000);
    if (j <= need || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      PutUnit(out, 0xFFFD);
      i += j;  // skip the bytes that looked like a sequence
      continue;
    }
    PutCodePoint(out, cp);
    i += need + 1;
  }
  return out;
}

Bytes WideToUtf8(std::string_view w) {
  Bytes out;
  out.reserve(w.size() * 3 / 2);
  auto unit = [&](size_t k) {
    return static_cast<unsigned>(static_cast<unsigned char>(w[2 * k])) |
           (static_cast<unsigned>(static_cast<unsigned char>(w[2 * k + 1])) << 8);
  };
  size_t n = w.size() / 2;
  for (size_t k = 0; k < n; ++k) {
    unsigned cp = unit(k);
    if (cp >= 0xD800 && cp <= 0xDBFF && k + 1 < n && unit(k + 1) >= 0xDC00 &&
        unit(k + 1) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
      ++k;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // Converts as much as possible; returns the bytes consumed.
  size_t Run(const char* in, size_t inLen, Bytes& out) {
    char buf[4096];
    char* src = const_cast<char*>(in);
    size_t left = inLen;
    while (left > 0) {
      char* dst = buf;
      size_t room = sizeof buf;
      size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
    }
    return inLen - left;
  }

 private:
  iconv_t cd_;
};

Bytes GbkToWide(std::string_view s) {
  Iconv cv("UTF-16LE", "CP936");
  Bytes out;
  if (!cv.ok()) return out;
  size_t i = 0;
  while (i < s.size()) {
    i += cv.Run(s.data() + i, s.size() - i, out);
    if (i < s.size()) {  // an invalid or cut sequence: one default character
      PutUnit(out, 0x30FB);
      i += (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    }
  }
  return out;
}

Bytes WideToGbk(std::string_view w) {
  Iconv cv("CP936", "UTF-16LE");
  Bytes out;
  if (!cv.ok()) return out;
  size_t i = 0;
  w = w.substr(0, w.size() & ~size_t{1});
  while (i < w.size()) {
    i += cv.Run(w.data() + i, w.size() - i, out);
    if (i < w.size()) {  // a unit GBK lacks (each half of a surrogate pair too)
      out.push_back('?');
      i += 2;
    }
  }
  return out;
}

}  // namespace

Bytes MultiByteToWide(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  return codePage == kUtf8 ? Utf8ToWide(bytes) : GbkToWide(bytes);
}

Bytes WideToMultiByte(unsigned codePage, std::string_view wide) {
  if (wide.size() < 2) return {};
  return codePage == kUtf8 ? WideToUtf8(wide) : WideToGbk(wide);
}

}  // namespace qx
