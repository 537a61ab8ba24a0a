#include "portal/machine_ops.h"

#include <string>

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

const char* VerbOf(MachineOp op) {
  switch (op) {
    case MachineOp::Start:
      return "开机";
    case MachineOp::Stop:
      return "关机";
    case MachineOp::Restart:
      return "重启";
    case MachineOp::Sync:
      break;
  }
  return "同步";
}

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

Text MachineOpReplyText(std::string_view reply) { return TextBetween(reply, "\"text\":\"", "\""); }

Text BatchConfirmText(MachineOp op, size_t count) {
  return Text("确定") + VerbOf(op) + "选中的 " + std::to_string(count) + " 台机器吗？";
}

Text BatchProgressText(MachineOp op, size_t done, size_t count) {
  return Text("正在") + VerbOf(op) + " " + std::to_string(done) + "/" + std::to_string(count);
}

Text BatchSummaryText(MachineOp op, size_t count, const std::vector<OpFailure>& failed) {
  const Text verb = VerbOf(op);
  if (failed.empty()) return std::to_string(count) + " 台机器" + verb + "成功";
  Text text = std::to_string(count - failed.size()) + " 台机器" + verb + "成功，" +
              std::to_string(failed.size()) + " 台失败：";
  for (const OpFailure& f : failed)
    text += "\r\n" + f.machine + "：" + (f.portalText.empty() ? Text("无回复") : f.portalText);
  return text;
}

}  // namespace qx
