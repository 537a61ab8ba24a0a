#include "portal/ticket.h"

#include <cstdint>

#include "base/codepage.h"
#include "web/request_rules.h"
#include "web/url.h"

namespace qx {

Text TicketFormUrl(std::string_view portalBaseUrl) {
  return Text(portalBaseUrl) + "//user/ticket/add.html?classId=1";
}

Text TicketSaveUrl(std::string_view portalBaseUrl) {
  return Text(portalBaseUrl) + "//user/ticket/save.html";
}

TicketContact ParseTicketForm(std::string_view page) {
  TicketContact c;
  c.mobile = TextBetween(page, "id=\"mobile\" value=\"", "\">");
  c.qq = TextBetween(page, "name=\"qq\" id=\"qq\" value=\"", "\">");
  return c;
}

Text BusinessIdOf(std::string_view details) { return TextBetween(details, "业务标识：", "\r\n"); }

Text TicketWindowTitle(std::string_view businessId) {
  Text t = "业务标识：";
  t += businessId;
  t += "工单服务！";
  return t;
}

const char* TicketTitleSuffix(TicketKind kind) {
  return kind == TicketKind::RemoteAccess ? "：远程故障-客户端工单" : "：拨号故障-客户端工单";
}

Text TicketBody(TicketKind kind, std::string_view details, std::string_view businessId,
                const TicketContact& contact) {
  Text body = "classID=1&title=";
  body += FormEncode(businessId);
  body += FormEncode(TicketTitleSuffix(kind));
  body += "&content=";
  body += FormEncode(details);
  body += "&attachments=&mobile=";
  body += FormEncode(contact.mobile);
  body += "&myMobile=1&qq=";
  body += FormEncode(contact.qq);
  body += "&myQQ=1&attachmentIds=";
  return body;
}

namespace {

bool IsJsonBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Where the value of `key` begins in a JSON text (after the quoted key, the
// colon and the blanks around it); npos when the key is not there.
std::size_t JsonValueAt(std::string_view json, std::string_view key) {
  Text quoted(1, '"');
  quoted += key;
  quoted += '"';
  for (std::size_t p = json.find(quoted); p != std::string_view::npos;
       p = json.find(quoted, p + 1)) {
    std::size_t i = p + quoted.size();
    while (i < json.size() && IsJsonBlank(json[i])) ++i;
    if (i >= json.size() || json[i] != ':') continue;
    for (++i; i < json.size() && IsJsonBlank(json[i]);) ++i;
    return i;
  }
  return std::string_view::npos;
}

void AppendUtf8(Text& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Four hexadecimal digits at json[i]; -1 when they are not there.
long Hex4(std::string_view json, std::size_t i) {
  if (i + 4 > json.size()) return -1;
  long v = 0;
  for (std::size_t k = i; k < i + 4; ++k) {
    const char c = json[k];
    const int d = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

// The JSON string that begins at json[at] (its opening quote), escapes
// decoded, in UTF-8; empty when there is none or it does not end.
Text JsonStringAt(std::string_view json, std::size_t at) {
  if (at >= json.size() || json[at] != '"') return {};
  Text out;
  for (std::size_t i = at + 1; i < json.size(); ++i) {
    const char c = json[i];
    if (c == '"') return out;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= json.size()) break;
    switch (json[i]) {
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        long unit = Hex4(json, i + 1);
        if (unit < 0) return {};
        i += 4;
        std::uint32_t c32 = static_cast<std::uint32_t>(unit);
        const long low = unit >= 0xD800 && unit < 0xDC00 && i + 2 < json.size() &&
                                 json[i + 1] == '\\' && json[i + 2] == 'u'
                             ? Hex4(json, i + 3)
                             : -1;
        if (low >= 0xDC00 && low < 0xE000) {
          c32 = 0x10000 + ((c32 - 0xD800) << 10) + static_cast<std::uint32_t>(low - 0xDC00);
          i += 6;
        } else if (unit >= 0xD800 && unit < 0xE000) {
          c32 = 0xFFFD;  // half a pair
        }
        if (c32) AppendUtf8(out, c32);  // a NUL would end the text early
        break;
      }
      default:
        out += json[i];  // \" \\ \/ and anything else stand for themselves
    }
  }
  return {};
}

}  // namespace

TicketVerdict ReadTicketReply(std::string_view responseHeaders, std::string_view body) {
  TicketVerdict v;
  const int status = ResponseStatus(responseHeaders);
  const std::size_t result = JsonValueAt(body, "result");
  const bool refused = result != std::string_view::npos && body.substr(result, 5) == "false";
  v.filed = status >= 200 && status < 400 && !refused;
  v.text = Utf8ToAnsi(JsonStringAt(body, JsonValueAt(body, "text")));
  return v;
}

Text TicketVerdictText(const TicketVerdict& verdict) {
  if (verdict.filed) return kTicketFiledText;
  return verdict.text.empty() ? Text(kTicketFailedText) : verdict.text;
}

}  // namespace qx
