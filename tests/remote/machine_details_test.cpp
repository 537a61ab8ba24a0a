#include "remote/machine_details.h"

#include <gtest/gtest.h>

using namespace qx;

TEST(MachineDetails, LabelledLinesByteForByte) {
  // Columns 1, 4, 5, 6, 7, 8 and 10 of a line, the broadband ones empty:
  // they keep their labels; no line break at the end.
  EXPECT_EQ(MachineDetailsText({"QX000012", "10.0.0.12:20012", "administrator", "Qx a&b", "", "",
                                "2027-02-06 20:12:00"}),
            "业务标识：QX000012\r\n远程地址：10.0.0.12:20012\r\n系统账户：administrator\r\n"
            "系统密码：Qx a&b\r\n宽带账户：\r\n宽带密码：\r\n到期时间：2027-02-06 20:12:00");
}
