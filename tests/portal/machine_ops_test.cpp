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

}  // namespace
}  // namespace qx
