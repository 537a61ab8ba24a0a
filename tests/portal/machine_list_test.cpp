// The member summary and machine list page rules. Literals are GBK, as the
// pages are after conversion.
#include "portal/machine_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx {
namespace {

struct Machine {
  std::string id = "QX000001", remark = "测试机01", line = "广东电信拨号",
              address = "10.0.0.1:3389", account = "administrator", password = "Qx07919@B",
              bbAccount = "07560000001", bbPassword = "004241", opened = "2026-01-04 09:01:00",
              expiry = "2027-01-04 09:01:00", state = "运行中", vpsid = "10003";
};

// One machine block as the portal writes it, from "<div class=\"t-row\">" to
// its renew link.
std::string Block(const Machine& m, bool withRenew = true, bool withId = true) {
  std::string b = "<div class=\"t-row\">\n<div class=\"t-col c-id\"><span>业务标识：" + m.id +
                  "</span><p class=\"remark\">" + m.remark + "<i class=\"uicon\" data-id=\"" +
                  m.vpsid + "\" data-name=\"" + m.remark + "\"></i><!--备注---!></p></div>\n" +
                  "<div class=\"t-col\"><!--线路><!--><h3>" + m.line + "</h3></div>\n" +
                  "<div class=\"t-col\"><p>远程地址：<span class=\"ip-txt\">" + m.address +
                  "</span></p><p><span>系统账户：" + m.account + "</span></p><p><span>系统密码：" +
                  m.password + "</span></p></div>\n" + "<div class=\"t-col\"><p><span>宽带账号：" +
                  m.bbAccount + "</span></p><p><span>宽带密码：" + m.bbPassword +
                  "</span></p></div>\n" + "<div class=\"t-col\"><!--开通时间!--><h3>" + m.opened +
                  "<br><em class=\"\">" + m.expiry + "</em></h3></div>\n" +
                  "<div class=\"t-col\"><!--状态><!--><h3>" + m.state +
                  "</h3></div>\n<div class=\"t-col c-op\">";
  if (withId)
    b += "<a href=\"/user/cloudManage/manage.html?menu=outstart&id=" + m.vpsid + "\">管理</a>";
  if (withRenew)
    b += "<a class=\"renew\" href=\"/user/cloud/renew.html?id=" + m.vpsid + "\">续费</a>";
  return b + "</div>\n</div>";
}

Machine Numbered(int i) {
  Machine m;
  m.id = "QX00000" + std::to_string(i);
  m.address = "10.0.0." + std::to_string(i) + ":3389";
  m.vpsid = std::to_string(10000 + 3 * i);
  return m;
}

// A whole list page around the blocks, with its own figure.
std::string ListPage(const std::string& figure, const std::string& blocks) {
  return "<html><div class=\"crumb\"><a href=\"//user\">首页</a></div><!--列表-->\n"
         "<div class=\"t-total\">共 <!--统计数量！---><span class=\"num\" >[" +
         figure + "]</span> 台</div>\n" + blocks +
         "\n</div><div class=\"pages\"><a href=\"?page=1\">首页</a></div></html>";
}

std::vector<MachineRow> RowsOfPages(const std::array<Text, kListPageCount>& pages,
                                    Text* countText = nullptr) {
  MachineListPages read = ReadListPages(pages);
  if (countText) *countText = read.countText;
  return MachineRowsFromText(read.joined);
}

// --- CutAllBetween ---

TEST(CutAllBetween, NextStartIsSearchedRightAfterThePreviousStart) {
  std::vector<Text> list{"left over"};
  EXPECT_EQ(CutAllBetween("<a>1<a>2</a>x<a>3</a>", "<a>", "</a>", list), 3u);
  EXPECT_EQ(list, (std::vector<Text>{"1<a>2", "2", "3"}));
}

TEST(CutAllBetween, StopsAtTheFirstStartWithoutAnEnd) {
  std::vector<Text> list;
  EXPECT_EQ(CutAllBetween("[a][b", "[", "]", list), 1u);
  EXPECT_EQ(list, std::vector<Text>{"a"});
  EXPECT_EQ(CutAllBetween("", "[", "]", list), 0u);
  EXPECT_TRUE(list.empty());
}

TEST(CutAllBetween, OptionalArguments) {
  std::vector<Text> list;
  // prefix and suffix go inside the kept markers.
  CutAllBetween("x[ab]y", "[", "]", list, false, 0, "<", ">", true, true);
  EXPECT_EQ(list, std::vector<Text>{"[<ab>]"});
  // maxLength keeps only pieces shorter than it (the length with the extras).
  CutAllBetween("[a][abc][ab]", "[", "]", list, false, 3);
  EXPECT_EQ(list, (std::vector<Text>{"a", "ab"}));
  CutAllBetween("[a][abc]", "[", "]", list, false, 3, "+");
  EXPECT_EQ(list, std::vector<Text>{"+a"});
  // The whole piece is measured: prefix, suffix and each kept marker count.
  EXPECT_EQ(CutAllBetween("[ab]", "[", "]", list, false, 3), 1u);
  EXPECT_EQ(CutAllBetween("[ab]", "[", "]", list, false, 3, "+"), 0u);
  EXPECT_EQ(CutAllBetween("[ab]", "[", "]", list, false, 3, {}, "+"), 0u);
  EXPECT_EQ(CutAllBetween("[ab]", "[", "]", list, false, 3, {}, {}, true), 0u);
  EXPECT_EQ(CutAllBetween("[ab]", "[", "]", list, false, 3, {}, {}, false, true), 0u);
  // keepEnd alone keeps only the end marker.
  CutAllBetween("x[ab]y", "[", "]", list, false, 0, {}, {}, false, true);
  EXPECT_EQ(list, std::vector<Text>{"ab]"});
  // fromPosition is 1-based; 0 and 1 both start at the beginning.
  CutAllBetween("[a][b]", "[", "]", list, false, 0, {}, {}, false, false, 2);
  EXPECT_EQ(list, std::vector<Text>{"b"});
  CutAllBetween("[a][b]", "[", "]", list, false, 0, {}, {}, false, false, 1);
  EXPECT_EQ(list.size(), 2u);
}

TEST(CutAllBetween, CaseInsensitiveOnlyWhenAsked) {
  std::vector<Text> list;
  EXPECT_EQ(CutAllBetween("<DIV>a</div><div>b</DIV>", "<div>", "</div>", list), 0u);
  EXPECT_EQ(CutAllBetween("<DIV>a</div><div>b</DIV>", "<div>", "</div>", list, true), 2u);
  EXPECT_EQ(list, (std::vector<Text>{"a", "b"}));
}

TEST(CutAllBetween, NeverMatchesInsideADoubleByteCharacter) {
  std::vector<Text> list;
  // 81 41 is one GBK character whose second byte is 'A'.
  EXPECT_EQ(CutAllBetween("\x81"
                          "AbZAcZ",
                          "A", "Z", list),
            1u);
  EXPECT_EQ(list, std::vector<Text>{"c"});
  CutAllBetween(
      "A\x81Z"
      "bZ",
      "A", "Z", list);
  EXPECT_EQ(list, std::vector<Text>{"\x81Zb"});
}

// --- members page ---

TEST(MembersPage, NameAndBalance) {
  MemberSummary m = ParseMembersPage(
      "<p class=\"name\">会员名：张三demo<!--会员名！---></p>\n"
      "<p>当前余额：<!--当前余额!--><span> 128.50 </span> 元</p>");
  EXPECT_EQ(m.name, "张三demo");
  EXPECT_EQ(m.balance, " 128.50 ");  // as the page has it, not trimmed
  // The whole end marker ends the name, not a shorter part of it.
  m = ParseMembersPage("会员名：张<!--三--><!--会员名！--->");
  EXPECT_EQ(m.name, "张<!--三-->");
}

TEST(MembersPage, LoginPageOfAnExpiredSessionGivesEmptyTexts) {
  MemberSummary m = ParseMembersPage(
      "<div class=\"login-box\"><h2>会员登录</h2><p class=\"tip\">登录已过期，请重新登录</p>"
      "<input type=\"text\" name=\"username\"><span>密码</span></div>");
  EXPECT_EQ(m.name, "");
  EXPECT_EQ(m.balance, "");
  EXPECT_EQ(ParseMembersPage("").name, "");
}

// --- list pages ---

TEST(MachineList, EveryColumnOfABlock) {
  Machine m;
  // Fields as the page writes them: their references are decoded, once;
  // markup stays.
  m.remark = "研发&amp;测试";
  m.password = "Xy&amp;29kq&amp;lt;";
  m.bbPassword = "&#20013;&#x41;&nbsp;";
  m.state = "<span class=\"green\">运行中</span>";
  MachineRow row = MachineRowFromBlock(Block(m), 7);
  const std::vector<Text> expected = {"7",       m.id,          "研发&测试", m.line, m.address,
                                      m.account, "Xy&29kq&lt;", m.bbAccount, "中A ", m.opened,
                                      m.expiry,  m.state,       m.vpsid};
  EXPECT_EQ(std::vector<Text>(row.columns.begin(), row.columns.end()), expected);
  // 81 74 is one GBK character whose second byte is the "t" of "txt\">": no
  // field starts inside it.
  EXPECT_EQ(MachineRowFromBlock("\x81txt\">fake</span>" + Block(m), 1)[ColRemoteAddress],
            m.address);
  m.bbAccount = "";
  EXPECT_EQ(MachineRowFromBlock(Block(m), 7)[ColBroadbandAccount], "");
}

TEST(MachineList, SectionsOfTwoNoneAndThreeBlocksGiveFiveLinesInPageOrder) {
  std::array<Text, kListPageCount> pages = {
      ListPage("7", Block(Numbered(1)) + Block(Numbered(2))),
      ListPage("0", ""),
      ListPage("4", Block(Numbered(3)) + Block(Numbered(4)) + Block(Numbered(5))),
  };
  Text count;
  std::vector<MachineRow> rows = RowsOfPages(pages, &count);
  ASSERT_EQ(rows.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(rows[i][ColNumber], std::to_string(i + 1));
    EXPECT_EQ(rows[i][ColBusinessId], Numbered(i + 1).id);
    EXPECT_EQ(rows[i][ColVpsId], Numbered(i + 1).vpsid);
  }
  EXPECT_EQ(count, "11");  // the pages' own figures, not the blocks found
  EXPECT_EQ(CountLabelText(count), "11台");
}

TEST(MachineList, JoinedTextKeepsTheSectionsApartWithCrLf) {
  MachineListPages read = ReadListPages({ListPage("1", "A"), "no list here", ListPage("2", "B")});
  EXPECT_EQ(read.sections[1], "");
  EXPECT_EQ(read.joined, read.sections[0] + "\r\n\r\n" + read.sections[2]);
  EXPECT_EQ(read.countText, "3");
  // A page without a list is told beside the count.
  EXPECT_EQ(CountLabelText(read.countText, read.failedPages), "3台（第2页读取失败）");
  EXPECT_EQ(CountLabelText("0", {1, 3}), "0台（第1、3页读取失败）");
}

TEST(MachineList, BlockWithoutRenewLinkRunsIntoTheNext) {
  Machine first = Numbered(1), second = Numbered(2);
  first.state = "";  // its own state is missing: the next block's is found
  std::string firstBlock = Block(first, /*withRenew=*/false);
  firstBlock.erase(firstBlock.find("<!--状态><!-->"),
                   std::string("<!--状态><!--><h3></h3>").size());
  std::vector<MachineRow> rows = RowsOfPages({ListPage("2", firstBlock + Block(second)), "", ""});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][ColBusinessId], first.id);
  EXPECT_EQ(rows[0][ColState], second.state);
  EXPECT_EQ(rows[0][ColVpsId], first.vpsid);
  EXPECT_EQ(rows[1][ColNumber], "2");
  EXPECT_EQ(rows[1][ColBusinessId], second.id);
}

TEST(MachineList, BlockWithoutMachineIdGivesAnEmptyVpsid) {
  Machine m = Numbered(1);
  std::vector<MachineRow> rows = RowsOfPages({ListPage("1", Block(m, true, false)), "", ""});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][ColVpsId], "");
  EXPECT_EQ(rows[0][ColBusinessId], m.id);
}

TEST(MachineList, CountIsReadLikeAtoi) {
  auto countOf = [](const std::string& figure) {
    Text count;
    RowsOfPages({ListPage(figure, ""), "", ""}, &count);
    return count;
  };
  EXPECT_EQ(countOf("12"), "12");
  EXPECT_EQ(countOf("12台"), "12");
  EXPECT_EQ(countOf(" +12"), "12");
  EXPECT_EQ(countOf(""), "0");
  EXPECT_EQ(countOf("abc"), "0");
  EXPECT_EQ(countOf("１２"), "0") << "atoi reads ASCII digits only";
  // Absurd figures saturate rather than wrap.
  const std::string most = "9223372036854775807";
  Text count;
  RowsOfPages({ListPage(most, ""), ListPage(most, ""), ListPage(most, "")}, &count);
  EXPECT_EQ(count, most);
  RowsOfPages({ListPage("-" + most, ""), ListPage("-" + most, ""), ListPage("0", "")}, &count);
  EXPECT_EQ(count, "-9223372036854775808");
}

TEST(MachineList, CountOutsideTheSectionIsNotRead) {
  std::string page = "<!--统计数量！---><span class=\"num\" >[9]</span><!--列表-->" +
                     Block(Numbered(1)) + "首页</a>";
  Text count;
  EXPECT_EQ(RowsOfPages({page, "", ""}, &count).size(), 1u);
  EXPECT_EQ(count, "0");
}

TEST(MachineList, NoMachineBlocksGiveNoLines) {
  Text count;
  EXPECT_TRUE(
      RowsOfPages({ListPage("3", "<div class=\"t-head\">续费</a>"), "", ""}, &count).empty());
  EXPECT_EQ(count, "3");
  EXPECT_TRUE(RowsOfPages({"", "", ""}, &count).empty());
  EXPECT_EQ(count, "0");
}

TEST(MachineList, PageWithoutEndOfListAddsNothing) {
  std::string cutShort = ListPage("5", Block(Numbered(1)));
  cutShort.erase(cutShort.rfind("首页</a>"));
  Text count;
  std::vector<MachineRow> rows =
      RowsOfPages({cutShort, ListPage("1", Block(Numbered(2))), ""}, &count);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][ColBusinessId], Numbered(2).id);
  EXPECT_EQ(count, "1");
}

// --- search ---

TEST(Search, AddressMatchesASubstringCaseSensitively) {
  EXPECT_TRUE(AddressMatches("10.0.0.55:3389", "10.0.0.5"));
  EXPECT_TRUE(AddressMatches("10.0.0.55:3389", ":3389"));
  EXPECT_FALSE(AddressMatches("10.0.0.55:3389", "10.0.0.6"));
  EXPECT_FALSE(AddressMatches("vps.Example.com:22", "example"));
  EXPECT_TRUE(AddressMatches("vps.Example.com:22", "Example"));
}

TEST(Search, EmptyTextMatchesOnlyAnAddressThatIsNotEmpty) {
  EXPECT_TRUE(AddressMatches("10.0.0.1:3389", ""));
  EXPECT_FALSE(AddressMatches("", ""));
}

}  // namespace
}  // namespace qx
