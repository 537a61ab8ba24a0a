// The skin file reader: the program's three skins, and every way a file can
// be cut short or damaged.
#include "skin/skin_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/test_util.h"

namespace qx {
namespace {

std::string ReadSkin(const char* name) {
  std::ifstream f(std::string(QARVEX_SKIN_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// A file with a correct header (and checksum) around the given records.
std::string WithHeader(const std::string& body, uint16_t version = 1) {
  auto le = [](uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
  };
  return "QXSK" + le(version, 2) + le(16, 2) + le(16 + static_cast<uint32_t>(body.size()), 4) +
         le(Crc32(body), 4) + body;
}
std::string Record(uint16_t tag, const std::string& payload) {
  std::string r{static_cast<char>(tag & 0xFF), static_cast<char>(tag >> 8),
                static_cast<char>(payload.size() & 0xFF), static_cast<char>(payload.size() >> 8)};
  return r + payload;
}
std::string AllColours(int roles = kSkinColourCount) {
  std::string p;
  for (int i = 0; i < roles; ++i) p += {static_cast<char>(i), 1, 2, 3};
  return p;
}
std::string AllMetrics(int16_t captionHeight = 30) {
  const int16_t values[kSkinMetricCount] = {captionHeight, 4, 6, 4, 14, 700, 34, 26};
  std::string p;
  for (int i = 0; i < kSkinMetricCount; ++i)
    p += {static_cast<char>(i), static_cast<char>(values[i] & 0xFF),
          static_cast<char>(values[i] >> 8)};
  return p;
}
std::string Minimal(const std::string& extra = {}) {
  return Record(1, "n") + Record(2, "Font") + Record(16, AllColours()) + Record(17, AllMetrics()) +
         extra;
}

TEST(SkinFile, TheProgramsThreeSkinsReadAndDiffer) {
  SkinFile blue, white, neutral;
  ASSERT_EQ(ParseSkinFile(ReadSkin("blue.skin"), blue), SkinError::None);
  ASSERT_EQ(ParseSkinFile(ReadSkin("white.skin"), white), SkinError::None);
  ASSERT_EQ(ParseSkinFile(ReadSkin("default.skin"), neutral), SkinError::None);
  EXPECT_EQ(blue.name, U8(u8"蓝"));
  EXPECT_EQ(blue.fontFace, "Microsoft YaHei");
  const Rgb caption = blue.colour(SkinColour::CaptionBottom);
  EXPECT_GT(caption.b, caption.r + 80);  // the provider's blue
  EXPECT_NE(caption, white.colour(SkinColour::CaptionBottom));
  EXPECT_NE(caption, neutral.colour(SkinColour::CaptionBottom));
  EXPECT_NE(white.colour(SkinColour::Window), neutral.colour(SkinColour::Window));
  EXPECT_NE(blue.checksum, white.checksum);
}

TEST(SkinFile, EveryCutAndEveryChangedByteIsRefused) {
  const std::string good = ReadSkin("blue.skin");
  ASSERT_GT(good.size(), kSkinHeaderSize);
  SkinFile kept;
  kept.name = "kept";
  for (size_t n = 0; n < good.size(); ++n)
    ASSERT_NE(ParseSkinFile(std::string_view(good).substr(0, n), kept), SkinError::None) << n;
  for (size_t i = 0; i < good.size(); ++i) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0x5A);
    ASSERT_NE(ParseSkinFile(bad, kept), SkinError::None) << "byte " << i;
  }
  EXPECT_EQ(kept.name, "kept");  // a refused file leaves the skin as it was
  EXPECT_EQ(ParseSkinFile(good + "x", kept), SkinError::BadHeader);
}

TEST(SkinFile, RecordsAreCheckedEvenWithAGoodChecksum) {
  SkinFile s;
  EXPECT_EQ(ParseSkinFile(WithHeader(Minimal()), s), SkinError::None);
  EXPECT_EQ(ParseSkinFile(WithHeader(Minimal(), 2), s), SkinError::BadVersion);
  // A record whose size runs past the end, and a piece of a record header.
  EXPECT_EQ(ParseSkinFile(WithHeader(Minimal() + Record(3, "abc").substr(0, 6)), s),
            SkinError::BadRecord);
  EXPECT_EQ(ParseSkinFile(WithHeader(Minimal() + "\x03"), s), SkinError::BadRecord);
  EXPECT_EQ(ParseSkinFile(WithHeader(Minimal(Record(16, "\x01\x02\x03"))), s),
            SkinError::BadRecord);
  EXPECT_EQ(ParseSkinFile(WithHeader(Minimal(Record(16, AllColours(1)))), s), SkinError::Duplicate);
  EXPECT_EQ(ParseSkinFile(WithHeader(Record(1, "n") + Record(2, "F") + Record(16, AllColours(3)) +
                                     Record(17, AllMetrics())),
                          s),
            SkinError::Missing);
  EXPECT_EQ(ParseSkinFile(WithHeader(Record(1, "n") + Record(2, "F") + Record(16, AllColours()) +
                                     Record(17, AllMetrics(500))),
                          s),
            SkinError::BadValue);
  EXPECT_EQ(ParseSkinFile(WithHeader(Record(1, std::string("a\0b", 3)) + Record(2, "F") +
                                     Record(16, AllColours()) + Record(17, AllMetrics())),
                          s),
            SkinError::BadValue);
  // Later additions: an unknown record and an unknown colour role are skipped.
  ASSERT_EQ(
      ParseSkinFile(WithHeader(Minimal(Record(99, "later") + Record(16, "\xF0\x01\x02\x03"))), s),
      SkinError::None);
  EXPECT_EQ(s.colour(SkinColour::Frame), (Rgb{1, 2, 3}));
  EXPECT_EQ(s.metric(SkinMetric::CaptionFontWeight), 700);
}

TEST(SkinFile, ColourAdjustments) {
  const Rgb c{30, 110, 200};
  EXPECT_EQ(AdjustColour(c, 0, 0, 0), c);
  EXPECT_EQ(AdjustColour({255, 0, 0}, 120, 0, 0), (Rgb{0, 255, 0}));
  EXPECT_EQ(AdjustColour(c, 0, -100, 0).r, AdjustColour(c, 0, -100, 0).b);  // grey
  EXPECT_EQ(AdjustColour(c, 0, 0, 100), (Rgb{255, 255, 255}));
  EXPECT_EQ(AdjustColour(c, 0, 0, -100), (Rgb{0, 0, 0}));
}

}  // namespace
}  // namespace qx
