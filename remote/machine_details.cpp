#include "remote/machine_details.h"

namespace qx {

Text MachineDetailsText(const std::array<Text, 7>& columns) {
  static constexpr const char* kLabels[7] = {"业务标识：",     "\r\n远程地址：", "\r\n系统账户：",
                                             "\r\n系统密码：", "\r\n宽带账户：", "\r\n宽带密码：",
                                             "\r\n到期时间："};
  Text out;
  for (size_t i = 0; i < columns.size(); ++i) {
    out += kLabels[i];
    out += columns[i];
  }
  return out;
}

}  // namespace qx
