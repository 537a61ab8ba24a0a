#include "portal/login.h"

#include <algorithm>

#include "base/codepage.h"
#include "web/url.h"

namespace qx {

ProbeResult ParseProbePage(std::string_view page) {
  ProbeResult r;
  r.memberName = TextBetween(page, "<!--user!--><h3>", "</h3>");
  r.loginState = TextToInt(TextBetween(page, "<!--登录", "状态!-->"));
  return r;
}

Text OneClickHint(std::string_view memberName) {
  Text t = "点击下方\"一键登录\"按钮即可一键登录";
  t += memberName;
  t += "账户！";
  return t;
}

Text LoginBody(std::string_view userUtf8, std::string_view passwordUtf8) {
  Text body = "redirectURL=&username=";
  body += BrowserFormEncode(userUtf8);
  body += "&password=";
  body += BrowserFormEncode(passwordUtf8);
  body += "&captcha=&saveNull=0&customerServiceID=";
  return body;
}

bool LoginSucceeded(std::string_view reply) {
  return TextBetween(reply, "result\":true,\"text\":\"", "\",\"time\":1,\"url") == "登录成功";
}

Text LoginFailureText(std::string_view reply, RequestFailure why) {
  if (reply.empty()) {
    switch (why) {
      case RequestFailure::NoAnswer:
        return "无法连接服务器：服务器没有应答，请检查网络后重试";
      case RequestFailure::Refused:
        return "无法连接服务器：连接被拒绝或中断，请稍后重试";
      case RequestFailure::Certificate:
        return "无法连接服务器：服务器的证书不受信任，已停止连接";
      case RequestFailure::Broken:
        return "服务器的应答不完整，请稍后重试";
      case RequestFailure::None:
        break;
    }
  }
  size_t end = 0;
  while (end < reply.size()) {
    const size_t step = IsLeadByte(static_cast<unsigned char>(reply[end])) ? 2 : 1;
    if (end + step > kLoginBoxTextMax) break;
    end = std::min(end + step, reply.size());
  }
  return Text(reply.substr(0, end));
}

}  // namespace qx
