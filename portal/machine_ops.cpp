#include "portal/machine_ops.h"

namespace qx {
namespace {

struct OpRule {
  const char* path;
  const char* success;  // the verdict text the portal answers on success
};

OpRule RuleOf(MachineOp op) {
  switch (op) {
    case MachineOp::Start:
      return {"//user/cloudManage/Start.html", "开机成功"};
    case MachineOp::Stop:
      return {"//user/cloudManage/stop.html", "关机成功"};
    case MachineOp::Restart:
      return {"//user/cloudManage/restart.html", "重启成功"};
    case MachineOp::Sync:
      break;
  }
  return {"//user/cloudManage/sync.html", "同步成功"};
}

constexpr const char* kTitle = "系统提示：";

}  // namespace

const char* MachineOpPath(MachineOp op) { return RuleOf(op).path; }

Text MachineOpBody(std::string_view vpsid) { return "id=" + Text(vpsid); }

bool MachineOpSucceeded(MachineOp op, std::string_view reply) {
  if (op == MachineOp::Sync) return FindText(reply, RuleOf(op).success) > 0;
  return TextBetween(reply, "{\"result\":true,\"text\":\"", "\"}") == RuleOf(op).success;
}

VerdictBox MachineOpVerdictBox(MachineOp op, bool succeeded) {
  if (op == MachineOp::Sync)
    return succeeded ? VerdictBox{"同步成功", kTitle, BoxIcon::Information}
                     : VerdictBox{"同步失败", kTitle, BoxIcon::Exclamation};
  if (succeeded) return {RuleOf(op).success, kTitle, BoxIcon::None};
  return {"操作失败,请重试", "信息：", BoxIcon::None};
}

}  // namespace qx
