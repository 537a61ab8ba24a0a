// Character references decoded once, in GBK text. Literals are GBK.
#include "web/html_entities.h"

#include <gtest/gtest.h>

#include "base/codepage.h"

using namespace qx;

TEST(HtmlEntities, NamedAndNumericReferencesDecodedOnce) {
  EXPECT_EQ(DecodeHtmlEntities("Xy&amp;29kq"), "Xy&29kq");
  EXPECT_EQ(DecodeHtmlEntities("研发&amp;测试"), "研发&测试");
  EXPECT_EQ(DecodeHtmlEntities("&lt;&gt;&quot;&#39;&apos;&AMP;"), "<>\"''&");
  EXPECT_EQ(DecodeHtmlEntities("&amp;lt;"), "&lt;");  // once, not twice
  EXPECT_EQ(DecodeHtmlEntities("&amp;amp;&#38;amp;"), "&amp;&amp;");
  // Numbers, decimal and hexadecimal, to GBK.
  EXPECT_EQ(DecodeHtmlEntities("&#20013;&#x6587;&#X6587;&#x41;"), "中文文A");
  EXPECT_EQ(DecodeHtmlEntities("a&nbsp;b&#160;c&#xa0;"), "a b c ");
  // Characters outside GBK become what the conversion of the page gives for
  // them written out; a number that names no character becomes U+FFFD's.
  EXPECT_EQ(DecodeHtmlEntities("&#x1F600;&#233;"), Utf8ToAnsi("\xF0\x9F\x98\x80\xC3\xA9"));
  const Text replacement = Utf8ToAnsi("\xEF\xBF\xBD");
  EXPECT_EQ(DecodeHtmlEntities("&#0;&#xD800;&#x110000;&#99999999999999999999;"),
            replacement + replacement + replacement + replacement);
  // Markup stays as it is.
  EXPECT_EQ(DecodeHtmlEntities("<span class=\"green\">运行中</span>"),
            "<span class=\"green\">运行中</span>");
}

TEST(HtmlEntities, WhatIsNotAReferenceStays) {
  for (const char* kept : {"&", "a & b", "&amp", "&ampx;", "&unknown;", "&#;", "&#x;", "&#12",
                           "&#x4G;", "&nbspx;", "&#-1;", "& amp;", "&hellipsis;"})
    EXPECT_EQ(DecodeHtmlEntities(kept), kept) << kept;
  // Only the broken reference stays; the next is still read.
  EXPECT_EQ(DecodeHtmlEntities("&&amp;&#&lt;"), "&&&#<");
  // 81 26 is not a reference: the "&" belongs to the character before it,
  // as a marker search reads it.
  EXPECT_EQ(DecodeHtmlEntities("\x81&amp;"), "\x81&amp;");
  EXPECT_EQ(DecodeHtmlEntities("中&amp;"), "中&");
}
