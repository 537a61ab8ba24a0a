#include "portal/machine_ops_flow_win.h"

#include "base/codepage.h"
#include "web/fetch_page.h"

namespace qx {

Text PostMachineOp(std::string_view portalBaseUrl, MachineOp op, std::string_view vpsid) {
  Text url(portalBaseUrl);
  url += MachineOpPath(op);
  return Utf8ToAnsi(BytesToText(FetchPage(url, 1, MachineOpBody(vpsid))));
}

}  // namespace qx
