// Every control and menu command id of the program, dispatched through
// WM_COMMAND. The test driver finds controls by these ids.
#pragma once

namespace qx {

enum Command : int {
  // LoginWindow
  IdLoginStatus = 101,  // 透明标签5
  IdLoginUserLabel,     // 透明标签1
  IdLoginUser,          // 编辑框1
  IdLoginRegister,      // 透明标签3 免费注册
  IdLoginPassLabel,     // 透明标签2
  IdLoginPassword,      // 编辑框2
  IdLoginRecover,       // 透明标签4 找回密码
  IdLoginButton,        // 按钮1 登录
  IdOneClickButton,     // 按钮2 一键登录

  // MainWindow controls
  IdMainUserCaption = 201,  // 透明标签1
  IdMainMemberName,         // 透明标签2
  IdMainBalanceCaption,     // 透明标签3
  IdMainBalance,            // 透明标签4
  IdMainCountCaption,       // 透明标签6
  IdMainCount,              // 透明标签5
  IdMainNotice,             // 透明标签8
  IdMainSearchCaption,      // 透明标签7
  IdMainSearchText,         // 编辑框11
  IdMainSearchButton,       // 按钮1 搜索
  IdMainPortalButton,       // 按钮2 官网
  IdMainContactPicture,     // 图片框1
  IdMainList,               // 超级列表框1
  IdMainLoadingLabel,       // 标签1
  IdMainTextHolder,         // 编辑框1

  // ResolutionWindow
  IdResSizeGroup = 251,  // 分组框1 远程桌面分辨率
  IdResWidth,            // 编辑框1
  IdResTimes,            // 透明标签1 X
  IdResHeight,           // 编辑框2
  IdResSetButton,        // 按钮1 设置
  IdResFullGroup,        // 分组框2 设置全屏
  IdResStateLabel,       // 透明标签2 全屏状态：
  IdResState,            // 编辑框3
  IdResFullButton,       // 按钮2 开启全屏

  // Menu 菜单
  CmdConnect = 301,
  CmdLinuxRemote,
  CmdRefresh,
  CmdSync,
  CmdControlPanel,
  CmdCopyBusinessId,
  CmdCopyRemoteAddress,
  CmdCopySystemAccount,
  CmdCopySystemPassword,
  CmdCopyBroadbandAccount,
  CmdCopyBroadbandPassword,
  CmdCopyDetails,
  CmdStart,
  CmdStop,
  CmdRestart,
  CmdRdpShortcut,
  CmdSkinWhite,
  CmdSkinBlue,
  CmdSkinDefault,
  CmdFaultTicket,
  CmdResolution,
  CmdBuyVps,
  CmdContact,
  CmdAbout,

  // Keyboard only: Ctrl+F puts the focus in the search box.
  CmdFocusSearch = 350,

  // The machines' latencies: probe again (also F6), select those that do not answer.
  CmdProbe = 360,
  CmdSelectNoAnswer,
  // The list's menu: selects the machines that expire within 7 days or have expired.
  CmdSelectExpiring = 362,

  // Menu 托盘菜单
  CmdTrayOpen = 401,
  CmdTrayWebsite,
  CmdTrayExit,

  // TicketWindow controls
  IdTicketGroup = 501,     // 分组框1 工单类型
  IdTicketDialUpButton,    // 按钮1 提交“拨号故障”工单
  IdTicketRemoteButton,    // 按钮2 提交“远程故障”工单
  IdTicketHint1,           // 透明标签1
  IdTicketHint2,           // 透明标签2
  IdTicketHint3,           // 透明标签3
  IdTicketContactPicture,  // 图片框1
};

// Posted to a window by its tray icon.
constexpr unsigned kTrayMessage = 0x8000 + 1;  // WM_APP + 1

}  // namespace qx
