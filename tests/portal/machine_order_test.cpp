#include "portal/machine_order.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {
namespace {

int Bytes(std::string_view a, std::string_view b) { return a.compare(b); }

MachineRow Row(const char* number, const char* address, const char* expiry) {
  MachineRow r;
  r.columns[ColNumber] = number;
  r.columns[ColRemoteAddress] = address;
  r.columns[ColExpiry] = expiry;
  return r;
}

TEST(MachineOrder, DatesParseOnlyWhenTheyAreReal) {
  EXPECT_EQ(ParseDateTime("1970-01-01 00:00:00"), 0);
  EXPECT_EQ(ParseDateTime("2024-02-29 23:59:59"), 1709251199);
  EXPECT_EQ(ParseDateTime("2000-03-01 00:00:01"), 951868801);
  EXPECT_EQ(ParseDateTime("2024-12-31 23:59:59"), 1735689599);
  for (const char* bad :
       {"2023-02-29 00:00:00", "2100-02-29 00:00:00", "2024-13-01 00:00:00", "2024-01-01 24:00:00",
        "2024-01-01", "2024-01-01 00:00:0x", " 2024-01-01 00:00:00", "已过期"})
    EXPECT_FALSE(ParseDateTime(bad)) << bad;
}

TEST(MachineOrder, ColumnsCompareAsNumbersAddressesDatesOrText) {
  EXPECT_LT(CompareCells(ColNumber, "9", "10", Bytes), 0);
  EXPECT_LT(CompareCells(ColNumber, "100", "x", Bytes), 0);  // numbers first
  // Up to 18 digits make a number; more make a text, after every number.
  EXPECT_LT(CompareCells(ColNumber, "000000000000000001", "2", Bytes), 0);
  EXPECT_GT(CompareCells(ColNumber, "0000000000000000001", "2", Bytes), 0);
  // Host (IPv4 by its numbers) before port; the port as a number.
  EXPECT_LT(CompareCells(ColRemoteAddress, "10.0.0.9:3389", "10.0.0.10:22", Bytes), 0);
  EXPECT_LT(CompareCells(ColRemoteAddress, "10.0.0.9:22", "10.0.0.9:3389", Bytes), 0);
  EXPECT_LT(CompareCells(ColRemoteAddress, "10.0.0.9:3389", "a.example:1", Bytes), 0);
  EXPECT_GT(CompareCells(ColRemoteAddress, "b.example:1", "a.example:2", Bytes), 0);
  EXPECT_LT(CompareCells(ColExpiry, "2027-01-02 00:00:00", "2027-01-10 00:00:00", Bytes), 0);
  EXPECT_LT(CompareCells(ColExpiry, "2099-01-01 00:00:00", "永久", Bytes), 0);  // dates first
  EXPECT_LT(CompareCells(ColExpiry, "a", "b", Bytes), 0);
  EXPECT_LT(CompareCells(ColRemark, "b", "c", [](auto a, auto b) { return a.compare(b); }), 0);
  EXPECT_GT(CompareCells(ColRemark, "b", "c", [](auto, auto) { return 1; }), 0);  // collation used
}

TEST(MachineOrder, StableSortBothWaysAndPageOrderBack) {
  const std::vector<MachineRow> rows = {
      Row("1", "10.0.0.2:1", "2027-01-03 00:00:00"), Row("2", "10.0.0.10:1", "2027-01-01 00:00:00"),
      Row("3", "10.0.0.2:1", "x"), Row("4", "10.0.0.1:5", "2027-01-02 00:00:00")};
  EXPECT_EQ(SortedOrder(rows, ColExpiry, false, Bytes), (std::vector<int>{1, 3, 0, 2}));
  EXPECT_EQ(SortedOrder(rows, ColExpiry, true, Bytes), (std::vector<int>{2, 0, 3, 1}));
  EXPECT_EQ(SortedOrder(rows, ColRemoteAddress, false, Bytes), (std::vector<int>{3, 0, 2, 1}));
  EXPECT_EQ(SortedOrder(rows, ColRemoteAddress, true, Bytes), (std::vector<int>{1, 0, 2, 3}));
  EXPECT_EQ(SortedOrder(rows, ColNumber, false, Bytes), (std::vector<int>{0, 1, 2, 3}));
  for (int column : {-1, int{kMachineColumnCount}})  // no such column: page order
    EXPECT_EQ(SortedOrder(rows, column, true, Bytes), (std::vector<int>{0, 1, 2, 3})) << column;
}

TEST(MachineOrder, ExpiryMarks) {
  const long long now = *ParseDateTime("2027-01-10 12:00:00");
  EXPECT_EQ(ExpiryOf("2027-01-10 12:00:00", now), Expiry::Past);
  EXPECT_EQ(ExpiryOf("2027-01-10 12:00:01", now), Expiry::Within3Days);
  EXPECT_EQ(ExpiryOf("2027-01-13 12:00:00", now), Expiry::Within3Days);
  EXPECT_EQ(ExpiryOf("2027-01-13 12:00:01", now), Expiry::Within7Days);
  EXPECT_EQ(ExpiryOf("2027-01-17 12:00:00", now), Expiry::Within7Days);
  EXPECT_EQ(ExpiryOf("2027-01-17 12:00:01", now), Expiry::None);
  EXPECT_EQ(ExpiryOf("永久", now), Expiry::None);

  // The tray's word names the earliest, not the first in page order.
  std::vector<MachineRow> rows = {Row("1", "", "2027-01-16 08:00:00"),
                                  Row("2", "", "2027-02-01 00:00:00"), Row("3", "", "永久"),
                                  Row("4", "", "2027-01-09 08:00:00"),
                                  Row("5", "", "2027-01-12 00:00:00")};
  rows[3].columns[ColBusinessId] = "YK0004";
  const std::vector<int> soon = ExpiringRows(rows, now);
  EXPECT_EQ(soon, (std::vector<int>{0, 3, 4}));
  EXPECT_EQ(ExpiryNoticeText(rows, soon), "3 台机器将在 7 天内到期，最早：YK0004 1月9日");
  EXPECT_EQ(ExpiryNoticeText(rows, {}), "");
}

}  // namespace
}  // namespace qx
