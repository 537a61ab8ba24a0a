// The portal's verdicts on the machine commands. Literals are GBK, as the
// program's texts are.
#include "portal/machine_ops.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(MachineOps, Verdicts) {
  EXPECT_TRUE(MachineOpSucceeded(MachineOp::Start, "{\"result\":true,\"text\":\"开机成功\"}"));
  EXPECT_TRUE(MachineOpSucceeded(MachineOp::Restart, "{\"result\":true,\"text\":\"重启成功\"}"));
  // Only the exact text between the markers counts.
  EXPECT_FALSE(MachineOpSucceeded(MachineOp::Stop, "{\"result\":true,\"text\":\"开机成功\"}"));
  EXPECT_FALSE(
      MachineOpSucceeded(MachineOp::Start, "<p>开机成功</p>{\"result\":false,\"text\":\"x\"}"));
  EXPECT_FALSE(MachineOpSucceeded(MachineOp::Start, "{\"result\":true,\"text\":\"开机成功！\"}"));
  EXPECT_FALSE(MachineOpSucceeded(MachineOp::Start, "{\"result\":false,\"text\":\"开机成功\"}"));
  EXPECT_FALSE(MachineOpSucceeded(MachineOp::Start, ""));
  // Sync looks anywhere.
  EXPECT_TRUE(MachineOpSucceeded(MachineOp::Sync, "<html>同步成功，请刷新</html>"));
  EXPECT_TRUE(MachineOpSucceeded(MachineOp::Sync, "同步成功"));
  // The sync box tells either way; the others show the success text.
  EXPECT_STREQ(MachineOpVerdictBox(MachineOp::Sync, false).text, "同步失败");
  EXPECT_STREQ(MachineOpVerdictBox(MachineOp::Restart, true).text, "重启成功");
  EXPECT_FALSE(MachineOpSucceeded(MachineOp::Sync, "{\"result\":false,\"text\":\"同步失败\"}"));
}

TEST(MachineOps, BatchTexts) {
  EXPECT_EQ(BatchConfirmText(MachineOp::Restart, 5), "确定重启选中的 5 台机器吗？");
  EXPECT_EQ(MachineOpReplyText("{\"result\":false,\"text\":\"业务不存在\"}"), "业务不存在");
  EXPECT_EQ(BatchSummaryText(MachineOp::Stop, 3, {}), "3 台机器关机成功");
  EXPECT_EQ(BatchSummaryText(MachineOp::Start, 3, {{"QX2", "业务不存在"}, {"QX3", ""}}),
            "1 台机器开机成功，2 台失败：\r\nQX2：业务不存在\r\nQX3：无回复");
}

}  // namespace
}  // namespace qx
