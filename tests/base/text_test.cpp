#include "base/text.h"

#include <gtest/gtest.h>

#include <climits>

using namespace qx;

// GBK characters whose second byte is an ASCII character: 81 41 is a valid
// character with trail byte 'A'; 81 3C is a lead byte followed by '<'.
static const std::string kTrailA = "\x81\x41";   // trail byte 'A'
static const std::string kTrailLt = "\x81\x3C";  // not a GBK pair but a lead+'<' all the same

TEST(TextBetween, MissingMarkersAndEmptyPiece) {
  EXPECT_EQ(TextBetween("abc", "<h3>", "</h3>"), "");
  EXPECT_EQ(TextBetween("<h3>abc", "<h3>", "</h3>"), "");
  long pos = 1;
  std::string_view piece;
  EXPECT_FALSE(CutBetween("<h3>abc", "<h3>", "</h3>", pos, piece)) << "no end marker";
  EXPECT_EQ(TextBetween("<h3></h3>", "<h3>", "</h3>"), "");
  EXPECT_EQ(TextBetween("x<h3>名字</h3>y", "<h3>", "</h3>"), "名字");
}

TEST(TextBetween, QuoteWordStandsForQuote) {
  EXPECT_EQ(TextBetween("<a class=\"num\">7</a>", "class=#引号num#引号>", "<"), "7");
  EXPECT_EQ(TextBetween("<a class=\"num\">7</a>", "class=\"num\">", "<"), "7");
  EXPECT_EQ(TextBetween("<a title=\"x\">", "title=#引号", "#引号"), "x") << "in the end marker too";
}

TEST(TextBetween, EndMarkerAfterStartEvenWhenItAlsoOccursEarlier) {
  EXPECT_EQ(TextBetween("</b> <b>one</b> <b>two</b>", "<b>", "</b>"), "one");
  EXPECT_EQ(TextBetween("<b>one</b> <b>two</b>", "<b>", "</b>", 4), "two");
  // CutBetween: case kept unless asked; the position is the piece's.
  long pos = 0;
  std::string_view piece;
  ASSERT_TRUE(CutBetween("<B>x</B><b>y</b>", "<b>", "</b>", pos, piece));
  EXPECT_EQ(piece, "y");
  EXPECT_EQ(pos, 12);
}

TEST(TextSearch, NeverMatchesAtTheSecondByteOfADoubleByteCharacter) {
  // The marker "A=" occurs as bytes at the trail of 81 41, but not as text.
  std::string text = kTrailA + "=1; A=2";
  EXPECT_EQ(FindText(text, "A="), 7);
  EXPECT_EQ(TextBetween(text, "A=", ";"), "");
  EXPECT_EQ(TextAfter(text, "A="), "2");
  EXPECT_EQ(TextBefore(text, "A="), kTrailA + "=1; ");
  EXPECT_EQ(FindLastText(kTrailA + kTrailA, "A"), -1);
  // Also when case is ignored, and for first and last occurrence alike.
  EXPECT_EQ(FindText(kTrailA + "a", "a", 1, true), 3);
  EXPECT_EQ(FindText(kTrailA, "a", 1, true), -1);
  EXPECT_EQ(TextBefore(kTrailLt + "<x", "<", -1), kTrailLt);
  EXPECT_EQ(TextAfter(kTrailLt + "<x", "<", -1), "x");
  EXPECT_EQ(Split(kTrailA + "A" + kTrailA, "A"), (std::vector<std::string>{kTrailA, kTrailA}));
}

TEST(TextSearch, EuroSignAndFfAreSingleByteCharacters) {
  // In code page 936 80 is the euro sign and FF never leads: neither hides
  // the byte behind it.
  const std::string euro = "\x80", ff = "\xFF";
  EXPECT_EQ(TextBetween(euro + "<b>7</b>", "<b>", "</b>"), "7");
  EXPECT_EQ(FindText(ff + "A", "A"), 2);
  EXPECT_EQ(FindText(euro + "a", "A", 1, true), 2);
  EXPECT_EQ(TrimRight(euro + " "), euro);
  EXPECT_EQ(ToLowerAscii(ff + "A"), ff + "a");
}

TEST(TextSearch, IgnoreCaseFoldsAsciiOnly) {
  EXPECT_EQ(FindText("xx<META charset", "<meta", 1, true), 3);
  EXPECT_EQ(FindText("xx<META charset", "<meta"), -1);
  // The second byte of a marker's double-byte character is compared exactly.
  EXPECT_EQ(FindText("\x81\x61", "\x81\x41", 1, true), -1);
  EXPECT_EQ(TextBetween("<H3>x</h3>", "<h3>", "</H3>", 0, true), "x");
}

TEST(TextBeforeAfter, FirstAndLastOccurrence) {
  EXPECT_EQ(TextBefore("a: b: c", ": "), "a");
  EXPECT_EQ(TextAfter("a: b: c", ": "), "c");
  EXPECT_EQ(TextBefore("a: b: c", ": ", -1), "a: b");
  EXPECT_EQ(TextAfter("a: b: c", ": ", -1), "b: c");
  // The last occurrence may overlap an earlier one.
  EXPECT_EQ(TextBefore("a---b", "--", -1), "a-");
  // -n: last occurrence wholly within the first length-n bytes.
  EXPECT_EQ(TextBefore("a: b: c", ": ", -3), "a");
  EXPECT_EQ(TextBefore("a: b: c", ": ", -2), "a");
  // Positive n for TextAfter: last occurrence within the first length-n bytes.
  EXPECT_EQ(TextAfter("a: b: c", ": ", 3), "b: c");
  EXPECT_EQ(TextAfter("a: b: c", ": ", 2), "b: c");
  // -n for TextAfter: first occurrence at or after position n.
  EXPECT_EQ(TextAfter("a: b: c", ": ", -3), "c");
  EXPECT_EQ(TextAfter("a: b: c", ": ", -2), "b: c");
  EXPECT_EQ(TextAfter("a: b: c", ": ", LONG_MIN), "") << "a position beyond any text";
  EXPECT_EQ(TextBefore("a: b: c", ": ", 3), "a: b");
  EXPECT_EQ(TextBefore("abc", "x"), "");
  EXPECT_EQ(TextAfter("abc", "x"), "");
  EXPECT_EQ(TextAfter("abc", "c"), "");
  EXPECT_EQ(TextAfter("a:b:", ":"), "") << "the last, even at the very end";
  EXPECT_EQ(TextBefore("a:b:", ":", -1), "a:b") << "-1 is the whole text";
  EXPECT_EQ(TextAfter("a: b: c", ": ", 1), "c") << "1 leaves out the last byte only";
  EXPECT_EQ(FindLastText("ab", "a", 0), -1) << "a limit of 0 holds nothing";
  EXPECT_EQ(TextBefore("abc", "b", -10), "") << "a limit before the text's start";
  // Case is kept unless asked.
  EXPECT_EQ(TextBefore("A-a", "a"), "A-");
  EXPECT_EQ(TextAfter("a-A", "a"), "-A");
  EXPECT_EQ(FindLastText("a-A", "a"), 1);
}

TEST(HeaderValue, FirstLineWithTheNameDecides) {
  EXPECT_EQ(HeaderValue("Content-Type: x\r\nLocation: /y", "Location"), "/y");
  EXPECT_EQ(HeaderValue("Locationx: z\r\nContent-Type: x\r\nLocation: /y", "Location"), "");
  EXPECT_EQ(HeaderValue("location: /y", "Location"), "");
  EXPECT_EQ(HeaderValue("Location: /a: b", "Location"), "/a: b");
  EXPECT_EQ(HeaderValue("", "Location"), "");
}

TEST(Trim, AsciiAndFullWidthBlanksOnly) {
  EXPECT_EQ(Trim("\xA1\xA1 名字 \xA1\xA1"), "名字");
  EXPECT_EQ(Trim("\r\n x \r\n"), "\r\n x \r\n");
  EXPECT_EQ(Trim("\t"), "\t");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(TrimRight("  "), "");
  // A1 A1 after a lead byte is a character's second byte plus a lead, not a blank.
  EXPECT_EQ(TrimRight("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
}

TEST(Split, PiecesAndSeparators) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Split("", ";"), V{});
  EXPECT_EQ(Split("a;;b", ";"), (V{"a", "", "b"}));
  EXPECT_EQ(Split("a;b;", ";"), (V{"a", "b"}));
  EXPECT_EQ(Split(";", ";"), (V{""}));
  EXPECT_EQ(Split("a; b", "; "), (V{"a", "b"}));
  EXPECT_EQ(Split("aXbxc", "x"), (V{"aXb", "c"})) << "case kept";
}

TEST(Text, CaseChangeAndReplaceLeaveDoubleByteCharactersAlone) {
  EXPECT_EQ(ToLowerAscii("HTTP://A" + kTrailA), "http://a" + kTrailA);
  EXPECT_EQ(ToUpperAscii("ab" + std::string("\x81\x61")), "AB\x81\x61");
  EXPECT_EQ(ToLowerAscii("AZ@[`{"), "az@[`{");
  EXPECT_EQ(ToUpperAscii("az@[`{"), "AZ@[`{");
  EXPECT_EQ(ReplaceAll(kTrailA + "A", "A", "b"), kTrailA + "b");
  EXPECT_EQ(ReplaceAll("aA", "a", "b"), "bA") << "case kept";
}

TEST(Text, Numbers) {
  EXPECT_EQ(TextToInt("12台"), 12);
  EXPECT_EQ(TextToInt("  -7x"), -7);
  EXPECT_EQ(TextToInt("１２"), 12);  // full-width digits
  EXPECT_EQ(TextToInt("９"), 9);
  EXPECT_EQ(TextToInt("　-7台"), -7);  // a full-width blank (A1 A1) before it
  EXPECT_EQ(TextToInt("1.0"), 1);
  EXPECT_EQ(TextToInt("abc"), 0);
  EXPECT_EQ(TextToInt(""), 0);
  EXPECT_EQ(AtoiText(" 12]"), 12);
  EXPECT_EQ(AtoiText("\t\n12"), 12);
  EXPECT_EQ(AtoiText(" -12"), -12);
  EXPECT_EQ(AtoiText("１２"), 0);
  EXPECT_EQ(AtoiText("99999999999999999999999"), LLONG_MAX);
  EXPECT_EQ(AtoiText("9223372036854775806"), LLONG_MAX - 1) << "just below the end: no overflow";
  EXPECT_EQ(TextToInt("Ａ1"), 0) << "a full-width letter is no digit";
  // Only the text given is read, not the bytes behind it.
  EXPECT_EQ(TextToInt(std::string_view("12345", 2)), 12);
  EXPECT_EQ(AtoiText(std::string_view("12345", 2)), 12);
}
