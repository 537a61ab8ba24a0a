#include "web/cookies.h"

#include <gtest/gtest.h>

using namespace qx;

TEST(MergeCookies, NewItemsFirstThenOldOnesByName) {
  Text sent;
  EXPECT_EQ(MergeCookies(sent, "sid=1"), "sid=1");
  sent = "a=1; b=2";
  EXPECT_EQ(MergeCookies(sent, "b=3"), "b=3; a=1");
  EXPECT_EQ(sent, "b=3; a=1");
  sent = "SID=1";
  EXPECT_EQ(MergeCookies(sent, "sid=2"), "sid=2; SID=1");
  // Of two old items with one name only the first is taken.
  sent = "a=1; a=2; c=3";
  EXPECT_EQ(MergeCookies(sent, ""), "a=1; c=3");
  // Names are trimmed for comparison only.
  sent = "a =1";
  EXPECT_EQ(MergeCookies(sent, "a=2"), "a=2");
}

TEST(MergeCookies, DeletionTrailingSemicolonAndDuplicates) {
  Text sent = "a=1; sid=9";
  EXPECT_EQ(MergeCookies(sent, "sid=deleted"), "a=1");
  sent = "a=1;";
  EXPECT_EQ(MergeCookies(sent, ""), "a=1");
  sent = "";
  EXPECT_EQ(MergeCookies(sent, ""), "");
  EXPECT_EQ(sent, "");
  sent = "x=0";
  EXPECT_EQ(MergeCookies(sent, "x=1; x=1"), "x=1");
  sent = "sid=deleted";
  EXPECT_EQ(MergeCookies(sent, " "), "");
  sent = "a=1";
  EXPECT_EQ(MergeCookies(sent, "=deleted"), "a=1") << "a deletion without a name";
  EXPECT_EQ(CookieName(" sid =x=y"), "sid");
  EXPECT_EQ(CookieName("flag"), "flag");
}
