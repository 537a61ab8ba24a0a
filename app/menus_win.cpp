#include "app/menus_win.h"

#include <vector>

#include "app/commands.h"
#include "app/window_util_win.h"

namespace qx {
namespace {

constexpr MenuEntry kListMenu[] = {
    {0, "连接", CmdConnect, true},
    {0, "Linux远程", CmdLinuxRemote, true},
    {0, "刷新", CmdRefresh, true},
    {0, "同步", CmdSync, true},
    {0, "检测延迟", CmdProbe, true},
    {0, "选择无响应的机器", CmdSelectNoAnswer, true},
    {0, "自助换机", CmdControlPanel, true},
    {0, "选择即将到期的机器", CmdSelectExpiring, true},
    {0, "复制", 0, true},
    {1, "复制业务标识", CmdCopyBusinessId, true},
    {1, "复制远程I P", CmdCopyRemoteAddress, true},
    {1, "复制系统账户", CmdCopySystemAccount, true},
    {1, "复制系统密码", CmdCopySystemPassword, true},
    {1, "复制宽带账户", CmdCopyBroadbandAccount, true},
    {1, "复制宽带密码", CmdCopyBroadbandPassword, true},
    {1, "复制详细信息", CmdCopyDetails, true},
    {0, "功能", 0, true},
    {1, "开机", CmdStart, true},
    {1, "关机", CmdStop, true},
    {1, "重启", CmdRestart, true},
    {1, "生成快捷远程", CmdRdpShortcut, true},
    {0, "皮肤", 0, true},
    {1, "白", CmdSkinWhite, true},
    {1, "蓝", CmdSkinBlue, true},
    {1, "默认", CmdSkinDefault, true},
    {0, "工单", 0, true},
    {1, "故障申报", CmdFaultTicket, true},
    {0, "设置", 0, true},
    {1, "远程分辨率", CmdResolution, true},
    {0, "购买VPS", CmdBuyVps, true},
    {0, "联系客服", CmdContact, true},
    {0, "关于", CmdAbout, true},
};

constexpr MenuEntry kTrayMenu[] = {
    {0, "打开", CmdTrayOpen, true},
    {0, "官网", CmdTrayWebsite, true},
    {0, "退出", CmdTrayExit, true},
};

}  // namespace

std::span<const MenuEntry> ListMenuEntries() { return kListMenu; }
std::span<const MenuEntry> TrayMenuEntries() { return kTrayMenu; }

bool MenuCommandReady(int command) {
  for (auto table : {ListMenuEntries(), TrayMenuEntries()})
    for (const MenuEntry& e : table)
      if (e.command == command && command != 0) return e.ready;
  return false;
}

UniqueMenu BuildPopupMenu(std::span<const MenuEntry> entries,
                          const std::function<bool(int)>& disabled) {
  UniqueMenu root(CreatePopupMenu());
  // menus[k]: the menu that takes entries of level k.
  std::vector<HMENU> menus{root.get()};
  for (const MenuEntry& e : entries) {
    if (e.level < 0 || static_cast<size_t>(e.level) >= menus.size()) continue;  // bad table
    menus.resize(static_cast<size_t>(e.level) + 1);
    HMENU parent = menus.back();
    std::wstring caption = Wide(e.caption);
    if (e.command == 0) {
      HMENU sub = CreatePopupMenu();
      AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), caption.c_str());
      menus.push_back(sub);
      continue;
    }
    UINT flags = MF_STRING;
    if (!e.ready || (disabled && disabled(e.command))) flags |= MF_GRAYED;
    AppendMenuW(parent, flags, static_cast<UINT_PTR>(e.command), caption.c_str());
  }
  return root;
}

}  // namespace qx
