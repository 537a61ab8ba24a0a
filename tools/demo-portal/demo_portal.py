#!/usr/bin/env python3
"""QARVEX demo portal: a stand-in for the provider's customer portal and its
notice page, used by the end-to-end tests and for trying the terminal out.

The terminal has no data interface; it reads these pages by cutting text
between fixed markers after converting the UTF-8 body to GBK.  Every marker
below is therefore written exactly as the terminal searches for it, and every
text on the pages is kept GBK-encodable.

Standard library only; listens on the loopback interface only.
"""

import argparse
import datetime
import hashlib
import ipaddress
import json
import secrets
import select
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl, unquote_to_bytes, urlsplit

# The three list pages, in the order the terminal reads them, with the page
# size the terminal asks each of them for.  Machines are spread over them in
# proportion to those sizes (1/4, 1/2, 1/4), so up to 2000 machines all fit.
LIST_MENUS = ("outstart", "computer", "third")
LIST_TITLES = {"outstart": "动态拨号VPS", "computer": "挂机宝", "third": "独立IP云主机"}
TERMINAL_PAGE_SIZES = (500, 1000, 500)

REMARKS = ("测试机{n:02d}", "办公室", "", "挂机专用", "备用机{n}", "研发&amp;测试",
           "家里", "客服-小王")
LINES = ("广东电信拨号", "江苏联通", "浙江电信拨号", "山东联通拨号", "河南移动",
         "福建电信", "湖北电信拨号", "上海BGP")

START_TEXTS = {"Start.html": ("开机成功", "运行中"),
               "stop.html": ("关机成功", "已关机"),
               "restart.html": ("重启成功", "运行中")}

# How the ticket save address answers: it takes the ticket, refuses it with
# HTTP 403, or closes the connection without an answer.
TICKET_REPLIES = ("ok", "refuse", "drop")

DEFAULT_NOTICE = "QARVEX演示门户：本门户所有数据均为演示数据"
DEFAULT_LOGIN_NOTICE = "欢迎使用QARVEX挂机宝管理终端，请先登录"
DEFAULT_ANNOUNCEMENT = "1.修复列表加载慢的问题；2.新增一键故障申报。"


# ---------------------------------------------------------------- machines

def machine_row(i):
    """The twelve list columns of machine i (1-based), exactly as the terminal
    cuts them from a block: business id, remark, line, remote address, system
    account, system password, broadband account, broadband password, opening
    time, expiry time, state, vpsid.  The remark is raw HTML text."""
    line = LINES[(i - 1) % len(LINES)]
    remark = REMARKS[(i - 1) % len(REMARKS)].format(n=i)
    linux = i % 7 == 0
    port = 22 if linux else (20000 + i if i % 3 == 0 else 3389)
    address = "10.0.%d.%d:%d" % ((i - 1) // 250, (i - 1) % 250 + 1, port)
    account = "root" if linux else "administrator"
    password = "Qx%05d@%s" % ((i * 7919) % 100000, chr(65 + i % 26))
    dial = "拨号" in line
    bb_account = "07%02d%07d" % (55 + i % 40, i) if dial else ""
    bb_password = "%06d" % ((i * 4241) % 1000000) if dial else ""
    opened = datetime.datetime(2026, 1, 1, 8) + datetime.timedelta(
        days=(i * 3) % 300, hours=i % 12, minutes=i % 60)
    expiry = opened.replace(year=opened.year + 1)
    state = "已关机" if i % 11 == 0 else ("已过期" if i % 17 == 0 else "运行中")
    return ["QX%06d" % i, remark, line, address, account, password,
            bb_account, bb_password, opened.strftime("%Y-%m-%d %H:%M:%S"),
            expiry.strftime("%Y-%m-%d %H:%M:%S"), state, str(10000 + 3 * i)]


def page_split(total):
    """How many machines each of the three list pages reports."""
    first = total // 4
    third = total // 4
    return (first, total - first - third, third)


HOSTILE_BUSINESS_ID = "..\\..\\x"
HOSTILE_ADDRESS_TAIL = "\r\nalternate shell:s:cmd"


def hostile(row):
    """Machine 1 as a hostile page would show it: a business id that climbs
    out of a folder and an address that carries a line of its own."""
    return [HOSTILE_BUSINESS_ID] + row[1:3] + [row[3] + HOSTILE_ADDRESS_TAIL] + row[4:]


def page_rows(total, page, page_size, hostile_first=False):
    """The rows shown on list page `page` (0..2) for a page size: the portal
    shows at most page_size machines but reports its whole count."""
    counts = page_split(total)
    start = sum(counts[:page]) + 1
    shown = min(counts[page], max(page_size, 0))
    rows = [machine_row(i) for i in range(start, start + shown)]
    if hostile_first and start == 1 and rows:
        rows[0] = hostile(rows[0])
    return rows


def dump_machines(total, hostile_first=False):
    """All rows the terminal sees with its own page sizes, in page order."""
    rows = []
    for page, size in enumerate(TERMINAL_PAGE_SIZES):
        rows.extend(page_rows(total, page, size, hostile_first))
    return rows


def with_ssh_machine(rows, spec):
    """The rows with the ssh_machine option applied: "ADDRESS PASSWORD" (the
    password is everything after the first blank) makes machine QX000001 a
    Linux machine with that remote address, account root and that password."""
    if not spec:
        return rows
    address, _, password = spec.partition(" ")
    return [row[:3] + [address, "root", password] + row[6:] if row[0] == "QX000001" else row
            for row in rows]


def with_expiry_soon(rows, on):
    """The rows with the expiry_soon option applied: machines QX000001,
    QX000002 and QX000003 expire one day ago, in two days and in five days
    (the portal's local time)."""
    if not on:
        return rows
    now = datetime.datetime.now().replace(microsecond=0)
    soon = {"QX000001": now - datetime.timedelta(days=1),
            "QX000002": now + datetime.timedelta(days=2),
            "QX000003": now + datetime.timedelta(days=5)}
    return [row[:9] + [soon[row[0]].strftime("%Y-%m-%d %H:%M:%S")] + row[10:]
            if row[0] in soon else row for row in rows]


def render_block(row, menu, state):
    (bid, remark, line, address, account, password, bb_account, bb_password,
     opened, expiry, _, vpsid) = row
    return (
        '<div class="t-row">\n'
        '<div class="t-col c-id"><span>业务标识：%s</span>'
        '<p class="remark">%s<i class="uicon uicon-edit" data-id="%s" data-name="%s"></i><!--备注---!></p></div>\n'
        '<div class="t-col c-line"><!--线路><!--><h3>%s</h3></div>\n'
        '<div class="t-col c-remote"><p>远程地址：<span class="ip-txt">%s</span></p>'
        '<p><span>系统账户：%s</span></p><p><span>系统密码：%s</span></p></div>\n'
        '<div class="t-col c-bb"><p><span>宽带账号：%s</span></p><p><span>宽带密码：%s</span></p></div>\n'
        '<div class="t-col c-time"><!--开通时间!--><h3>%s<br><em class="">%s</em></h3></div>\n'
        '<div class="t-col c-state"><!--状态><!--><h3>%s</h3></div>\n'
        '<div class="t-col c-op"><a href="/user/cloudManage/manage.html?menu=%s&id=%s">管理</a>'
        '<a class="renew" href="/user/cloud/renew.html?id=%s">续费</a></div>\n'
        '</div>' % (bid, remark or "暂无备注", vpsid, remark, line, address, account,
                    password, bb_account, bb_password, opened, expiry, state, menu,
                    vpsid, vpsid))


# ---------------------------------------------------------------- state

class Account:
    def __init__(self, index, name, password):
        self.name = name
        self.password = password
        self.mobile = "1380013%04d" % (8000 + index)
        self.qq = str(10001 + index)
        self.email = "%s@qarvex-demo.test" % name


class Portal:
    """Options, accounts, sessions, machine states and the request log."""

    OPTION_TYPES = {"latency_ms": int, "version": str, "notice_down": bool,
                    "expired": bool, "refuse": bool, "machines": int,
                    "notice_charset": str, "notice": str, "login_notice": str,
                    "announcement": str, "balance": str, "remember": bool,
                    "ssh_machine": str, "op_reply": str, "hostile_row": bool,
                    "expiry_soon": bool, "ticket": str}

    def __init__(self, options, accounts, log_path=None):
        self.lock = threading.Lock()
        self.initial = dict(options)
        self.options = dict(options)
        self.accounts = accounts
        self.sessions = {}
        self.states = {}            # vpsid -> state changed by a power op
        self.sections = {}          # (generation, page, total, size) -> blocks
        self.generation = 0         # bumped whenever a machine state changes
        self.log = []
        self.last = None            # the last request received (log entry)
        self.faults = {}            # path (or prefix ending in "*") -> mode
        self.fault_hits = []        # how each faulty answer went
        self.log_file = open(log_path, "w", encoding="utf-8") if log_path else None

    def opt(self, key):
        return self.options[key]

    def set_option(self, key, text):
        kind = self.OPTION_TYPES.get(key)
        if kind is None:
            raise ValueError("unknown key " + key)
        if kind is bool:
            if text not in ("0", "1"):
                raise ValueError(key + " takes 0 or 1")
            value = text == "1"
        elif kind is int:
            value = int(text)
        else:
            value = text
        if key == "notice_charset" and value not in ("utf-8", "gbk"):
            raise ValueError("notice_charset is utf-8 or gbk")
        if key == "ticket" and value not in TICKET_REPLIES:
            raise ValueError("ticket is " + ", ".join(TICKET_REPLIES))
        with self.lock:
            self.options[key] = value
            if key in ("hostile_row", "expiry_soon"):
                self.generation += 1
                self.sections.clear()

    def reset(self):
        with self.lock:
            self.options = dict(self.initial)
            self.sessions.clear()
            self.states.clear()
            self.generation += 1
            self.sections.clear()
            self.log.clear()
            self.last = None
            self.faults.clear()
            self.fault_hits.clear()

    def set_fault(self, path, mode):
        if mode not in FAULT_MODES + ("none",):
            raise ValueError("mode is one of " + ", ".join(FAULT_MODES + ("none",)))
        if not path:
            raise ValueError("fault needs a path")
        with self.lock:
            if mode == "none":
                self.faults.pop(normal_path(path), None)
            else:
                self.faults[normal_path(path)] = mode

    def fault_for(self, path):
        """The mode set for the routed path: its own, else the longest prefix."""
        with self.lock:
            if path in self.faults:
                return self.faults[path]
            prefixes = [p for p in self.faults if p.endswith("*") and path.startswith(p[:-1])]
            return self.faults[max(prefixes, key=len)] if prefixes else None

    def record(self, entry):
        line = json.dumps(entry, ensure_ascii=False)
        with self.lock:
            self.log.append(entry)
            self.last = entry
            if self.log_file:
                self.log_file.write(line + "\n")
                self.log_file.flush()

    def find_account(self, login, password):
        for acc in self.accounts:
            if login in (acc.name, acc.email, acc.mobile) and password == acc.password:
                return acc
        return None

    def new_session(self, account):
        sid = secrets.token_hex(13)
        with self.lock:
            self.sessions[sid] = account
        return sid

    def end_session(self, sid):
        with self.lock:
            self.sessions.pop(sid, None)

    def session_account(self, sids):
        if self.opt("expired"):
            return None
        for sid in sids:
            acc = self.sessions.get(sid)
            if acc:
                return acc
        return None

    def set_state(self, vpsid, state):
        with self.lock:
            self.states[vpsid] = state
            self.generation += 1
            self.sections.clear()

    def known_vpsid(self, vpsid):
        if not vpsid.isdigit() or (int(vpsid) - 10000) % 3:
            return False
        return 1 <= (int(vpsid) - 10000) // 3 <= self.opt("machines")

    def list_section(self, page, page_size):
        """Count and machine blocks of one list page; cached because a few
        thousand blocks take noticeable time to build."""
        total = self.opt("machines")
        ssh = self.opt("ssh_machine")
        hostile_first = self.opt("hostile_row")
        key = (self.generation, page, total, page_size, ssh, hostile_first)
        text = self.sections.get(key)
        if text is None:
            menu = LIST_MENUS[page]
            blocks = [render_block(row, menu, self.states.get(row[11], row[10]))
                      for row in with_expiry_soon(
                          with_ssh_machine(page_rows(total, page, page_size, hostile_first), ssh),
                          self.opt("expiry_soon"))]
            text = ('<div class="t-total">共 <!--统计数量！---><span class="num" >[%d]</span> 台</div>\n'
                    % page_split(total)[page]) + "\n".join(blocks)
            with self.lock:
                self.sections[key] = text
        return text


# ---------------------------------------------------------------- pages

def layout(title, body, account=None):
    if account:
        user_box = ('<div class="top-user"><!--user!--><h3>%s</h3><!--登录1状态!-->'
                    '<a href="//home/login/logout">退出</a></div>' % account.name)
    else:
        user_box = ('<div class="top-user"><!--user!--><h3></h3><!--登录0状态!-->'
                    '<a href="//login">登录</a> <a href="//register">注册</a></div>')
    return ('<!DOCTYPE html>\n<html lang="zh-CN">\n<head>\n<meta charset="utf-8">\n'
            '<title>%s - QARVEX云</title>\n<link rel="stylesheet" href="/static/user.css">\n'
            '</head>\n<body>\n<div class="header"><div class="logo"><a href="//">QARVEX云</a></div>\n'
            '<ul class="nav"><li><a href="//">首页</a></li><li><a href="//business/tarn/gxip.html">购买VPS</a></li>'
            '<li><a href="//user">会员中心</a></li></ul>\n%s</div>\n'
            '<div class="main">\n%s\n</div>\n'
            '<div class="footer">Copyright 2026 QARVEX云 演示门户 <a href="//">返回首页</a></div>\n'
            '</body>\n</html>\n' % (title, user_box, body))


def login_page():
    body = ('<div class="login-box"><h2>会员登录</h2>\n<p class="tip">登录已过期，请重新登录</p>\n'
            '<form action="//login/login" method="post">\n'
            '<input type="hidden" name="redirectURL" value="">\n'
            '<input type="text" name="username" placeholder="会员名/邮箱/手机号">\n'
            '<input type="password" name="password" placeholder="密码">\n'
            '<button type="submit">登录</button></form>\n'
            '<a href="//getPassword">找回密码</a> <a href="//register">免费注册</a></div>')
    return layout("会员登录", body)


def user_page(account):
    body = ('<div class="user-home"><p>欢迎回来，%s</p><ul>'
            '<li><a href="//user/members">账户信息</a></li>'
            '<li><a href="//user/cloud/menu/outstart">我的云服务器</a></li></ul></div>'
            % account.name) if account else '<div class="user-home"><p>您尚未登录</p></div>'
    return layout("会员中心", body, account)


def members_page(account, balance):
    body = ('<div class="user-card">\n<p class="name">会员名：%s<!--会员名！---></p>\n'
            '<p class="balance">当前余额：<!--当前余额!--><span>%s</span> 元 '
            '<a href="//user/finance/recharge.html">充值</a></p>\n'
            '<p>手机号码：%s****%s</p>\n<p>邮箱：%s</p>\n</div>'
            % (account.name, balance, account.mobile[:3], account.mobile[-4:], account.email))
    return layout("账户信息", body, account)


def list_page(account, menu, section):
    body = ('<div class="crumb"><a href="//user">首页</a> &gt; 云服务器 &gt; %s</div>\n'
            '<form class="filter" action="//user/cloud/menu/%s" method="get">'
            '<input type="text" name="searchKey" value=""><button type="submit">搜索</button></form>\n'
            '<div class="t-table">\n<div class="t-row t-head"><span>业务标识/备注</span><span>线路</span>'
            '<span>远程信息</span><span>宽带</span><span>开通/到期</span><span>状态</span><span>操作</span></div>\n'
            '<!--列表-->\n%s\n</div>\n'
            '<div class="pages"><a href="//user/cloud/menu/%s?page=1">首页</a><a href="javascript:;">上一页</a>'
            '<span class="cur">1</span><a href="javascript:;">下一页</a><a href="javascript:;">尾页</a></div>'
            % (LIST_TITLES[menu], menu, section, menu))
    return layout(LIST_TITLES[menu], body, account)


def panel_token(vpsid):
    return hashlib.sha1(("qarvex-panel-" + vpsid).encode()).hexdigest()[:16]


def panel_key(vpsid):
    """The control panel's own login key, in the address the panel login
    redirects to: the panel needs no portal session after that."""
    return hashlib.sha1(("qarvex-panel-key-" + vpsid).encode()).hexdigest()[:16]


def manage_page(account, base, vpsid):
    # The terminal cuts the part between the two split comments, strips the
    # icon and the wrapper, turns the 自助换机 link into a plain link and gives
    # the bare submit input a name, then presses both. The link is absolute,
    # the form action relative to this page.
    fragment = (
        '<!--分割开始!--->\n<div class="wrap">\n<div class="panel-box">\n'
        '<a href="%s/user/cloudManage/change.html?id=%s" class="side-link">'
        '<i class="icon uicon-uicon70"></i><em>自助换机</em></a>\n'
        '<form name="panelForm" action="/panel/login" method="post" target="_blank">\n'
        '<input type="hidden" name="vpsid" value="%s">\n'
        '<input type="hidden" name="token" value="%s">\n'
        '<a href="javascript:;"  class="qg-btn whole-bg-color"><input type=\'submit\'></a>\n'
        '</form>\n</div>\n</div>\n<!--分割结束!--->'
        % (base, vpsid, vpsid, panel_token(vpsid)))
    body = ('<div class="crumb"><a href="//user">首页</a> &gt; 管理</div>\n'
            '<h2>业务管理：%s</h2>\n%s' % (vpsid, fragment))
    return layout("业务管理", body, account)


def ticket_form(account):
    body = ('<form id="ticketForm" action="//user/ticket/save.html" method="post">\n'
            '<input type="hidden" name="classID" value="1">\n'
            '<p>工单标题：<input type="text" name="title" value=""></p>\n'
            '<p>问题描述：<textarea name="content"></textarea></p>\n'
            '<p>手机号码：<input type="text" class="input" name="mobile" id="mobile" value="%s">'
            '<input type="checkbox" name="myMobile" value="1" checked></p>\n'
            '<p>QQ号码：<input type="text" class="input" name="qq" id="qq" value="%s">'
            '<input type="checkbox" name="myQQ" value="1" checked></p>\n'
            '<input type="hidden" name="attachmentIds" value="">\n'
            '<button type="submit">提交工单</button>\n</form>' % (account.mobile, account.qq))
    return layout("提交工单", body, account)


def notice_page(opts, base):
    charset = "gb2312" if opts["notice_charset"] == "gbk" else "utf-8"
    link = base + "/download.html"
    return ('<!DOCTYPE html>\n<html>\n<head>\n<meta charset="%s">\n<title>QARVEX公告</title>\n'
            '</head>\n<body>\n'
            '<p><strong><span style="color:#ff0000">最新版本：%s</span></strong></p>\n'
            '<p><strong><span style="color:#0000ff"><!--公告><!-->%s</span></strong></p>\n'
            '<p><strong><span><!--登录窗口><!-->%s</span></strong></p>\n'
            '<p><strong><span><!--更新公告><!-->%s</span></strong></p>\n'
            '<p><strong><span>下载地址：<a href="%s" target="_blank">%s</a></span></strong></p>\n'
            '</body>\n</html>\n'
            % (charset, opts["version"], opts["notice"], opts["login_notice"],
               opts["announcement"], link, link))


def simple_page(title, text, account=None):
    return layout(title, '<div class="simple"><h2>%s</h2><p>%s</p></div>' % (title, text), account)


def json_text(obj):
    return json.dumps(obj, ensure_ascii=False, separators=(",", ":"))


def decode_form(raw):
    """x-www-form-urlencoded body as a dict (last value wins).  Values are
    UTF-8 when percent-encoded; the terminal sends some values raw in GBK,
    so bytes that are not UTF-8 are read as GBK."""
    form = {}
    for part in raw.split(b"&"):
        if not part:
            continue
        key, _, value = part.partition(b"=")
        form[_decode_bytes(key)] = _decode_bytes(value)
    return form


def _decode_bytes(data):
    data = unquote_to_bytes(data.replace(b"+", b" "))
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("gbk", errors="replace")


# ---------------------------------------------------------------- faults

# How a path can misbehave (set at run time through /__admin/fault).
FAULT_MODES = ("refuse", "reset_mid_body", "stall", "stall_mid_body", "status_500",
               "redirect_loop", "big_body", "bad_utf8", "cut_mid_char")
BIG_BODY_BYTES = 50 * 1024 * 1024
STALL_LIMIT_S = 300
# Bytes no UTF-8 decoder takes: FF FE, an overlong "/", a lone surrogate, a
# stray continuation byte and the first two bytes of a three-byte character.
INVALID_UTF8 = b"\xff\xfe\xc0\xaf\xed\xa0\x80\x80\xe4\xb8"
FILLER = "<p>填充内容，没有任何标记。</p>\n".encode("utf-8")


def multibyte_starts(data, encoding):
    """Byte offsets where the multi-byte characters of `data` begin."""
    gbk = encoding.lower() in ("gbk", "gb2312", "gb18030")
    starts, i = [], 0
    while i < len(data):
        if data[i] < 0x80:
            i += 1
            continue
        starts.append(i)
        if gbk:
            i += 2
        else:
            i += 1
            while i < len(data) and 0x80 <= data[i] < 0xC0:
                i += 1
    return starts


def cut_mid_char(data, encoding):
    """`data` cut right after the first byte of the first multi-byte character
    (GBK or UTF-8, as the page is sent) that begins in its second half, or of
    the last one when none does; halved when it has none."""
    starts = multibyte_starts(data, encoding)
    if not starts:
        return data[:len(data) // 2]
    later = [p for p in starts if p >= len(data) // 2]
    return data[:(later[0] if later else starts[-1]) + 1]


def normal_path(path):
    return "/" + path.lstrip("/")


# ---------------------------------------------------------------- HTTP

class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QarvexDemo/1.0"
    portal = None  # set on the subclass made by make_server

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    # The request line keeps the path as the terminal sent it ("//user");
    # http.server collapses a leading "//" in self.path, so read it there.
    def raw_target(self):
        words = self.requestline.split()
        return words[1] if len(words) >= 2 else self.path

    def handle_any(self):
        self.fault, self.client_left = None, False
        raw = self.raw_target()
        target = raw
        if target.lower().startswith(("http://", "https://")):
            parts = urlsplit(target)
            target = (parts.path or "/") + ("?" + parts.query if parts.query else "")
        path, _, query = target.partition("?")
        path = "/" + path.lstrip("/")
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""

        if path.startswith("/__admin/"):
            return self.admin(path, query)

        cookie = self.headers.get("Cookie", "")
        form = decode_form(body) if self.command == "POST" else {}
        self.portal.record({"method": self.command, "path": raw, "cookie": cookie,
                            "form": form, "body_raw": body.decode("latin-1"),
                            "headers": [[k, v] for k, v in self.headers.items()]})
        latency = self.portal.opt("latency_ms")
        if latency > 0:
            time.sleep(latency / 1000.0)
        sids = [v for k, _, v in (c.strip().partition("=") for c in cookie.split(";"))
                if k == "PHPSESSID"]
        query = dict(parse_qsl(query, keep_blank_values=True))
        self.fault = self.portal.fault_for(path)
        if self.fault:
            return self.serve_fault(raw, path, query, form, sids)
        self.route(path, query, form, sids)

    # ------------------------------------------------------------ faults

    def serve_fault(self, raw, path, query, form, sids):
        """Answers as the fault mode says and notes how long it took; a
        stall lasts until the client gives up."""
        began = time.monotonic()
        client_left = False
        mode = self.fault
        if mode == "refuse":
            self.reset_connection()
        elif mode == "stall":
            client_left = self.hold()
        elif mode == "status_500":
            self.send(500, simple_page("500", "服务器内部错误"))
        elif mode == "redirect_loop":
            self.send(302, "moved", headers=[("Location", self.base_url() + raw)])
        elif mode == "big_body":
            client_left = self.send_big_body(BIG_BODY_BYTES)
        else:  # the page itself, spoilt on its way out (see send)
            self.route(path, query, form, sids)
            client_left = getattr(self, "client_left", False)
        hit = {"path": raw, "mode": mode, "ms": int((time.monotonic() - began) * 1000),
               "client_left": client_left}
        with self.portal.lock:
            self.portal.fault_hits.append(hit)

    def reset_connection(self):
        """Ends the connection with a reset: no status line, no further byte,
        what a client sees as a refused or failed connection."""
        self.close_connection = True
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
            self.connection.close()
            self.rfile.close()  # its reference kept the socket open
        except OSError:
            pass

    def hold(self):
        """Sends nothing until the client closes (True) or STALL_LIMIT_S pass."""
        self.close_connection = True
        end = time.monotonic() + STALL_LIMIT_S
        while time.monotonic() < end:
            try:
                readable = select.select([self.connection], [], [], 0.1)[0]
                if readable and not self.connection.recv(65536):
                    return True
            except (OSError, ValueError):
                return True
        return False

    def send_big_body(self, size):
        """A page of `size` bytes of filler text; True when the client left first."""
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        chunk = FILLER * ((1 << 20) // len(FILLER))
        sent = 0
        try:
            while sent < size:
                piece = chunk if size - sent >= len(chunk) else b" " * (size - sent)
                self.wfile.write(piece)
                sent += len(piece)
        except OSError:
            self.close_connection = True
            return True
        return False

    def base_url(self):
        return "http://" + (self.headers.get("Host") or
                            "127.0.0.1:%d" % self.server.server_address[1])

    def send(self, status, text, ctype="text/html; charset=utf-8", headers=(), encoding="utf-8"):
        data = text.encode(encoding, errors="replace") if isinstance(text, str) else text
        fault = getattr(self, "fault", None)
        if fault == "bad_utf8":
            data = INVALID_UTF8 + data + INVALID_UTF8
        elif fault == "cut_mid_char":
            data = cut_mid_char(data, encoding)
        elif fault in ("reset_mid_body", "stall_mid_body"):
            # The whole length is promised, half of it comes.
            self.send_response(status)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            try:
                self.wfile.write(data[:len(data) // 2])
            except OSError:
                pass
            if fault == "reset_mid_body":
                self.reset_connection()
            else:
                self.client_left = self.hold()
            return
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def send_json(self, obj, headers=()):
        self.send(200, json_text(obj), "application/json; charset=utf-8", headers)

    def route(self, path, query, form, sids):
        portal = self.portal
        account = portal.session_account(sids)
        post = self.command == "POST"

        if path == "/notice.html":
            opts = dict(portal.options)
            if opts["notice_down"]:
                return self.send(503, b"")
            gbk = opts["notice_charset"] == "gbk"
            return self.send(200, notice_page(opts, self.base_url()),
                             "text/html; charset=%s" % ("gb2312" if gbk else "utf-8"),
                             encoding="gbk" if gbk else "utf-8")
        if path == "/download.html":
            return self.send(200, simple_page("下载新版本", "QARVEX挂机宝管理终端 最新版本：%s"
                                              % portal.opt("version")))

        if path == "/login/login" and post:
            acc = portal.find_account(form.get("username", ""), form.get("password", ""))
            if acc is None:
                return self.send_json({"result": False, "text": "用户名或密码错误",
                                       "time": 1, "url": ""})
            sid = portal.new_session(acc)
            return self.send_json({"result": True, "text": "登录成功", "time": 1, "url": "/user"},
                                  [("Set-Cookie", "PHPSESSID=%s; path=/%s" % (
                                      sid, "; Max-Age=86400; Expires=Wed, 01 Jan 2031 00:00:00 GMT"
                                      if portal.opt("remember") else ""))])
        if path == "/home/login/logout":
            for sid in sids:
                portal.end_session(sid)
            return self.send(200, simple_page("退出登录", "您已安全退出"))
        if path == "/user":
            return self.send(200, user_page(account))

        portal_pages = path.startswith("/user/") or path == "/panel/login"
        if portal_pages and account is None:
            if post:
                return self.send_json({"result": False, "text": "请先登录", "url": "/login"})
            return self.send(200, login_page())

        if path == "/user/members":
            return self.send(200, members_page(account, portal.opt("balance")))
        if path.startswith("/user/cloud/menu/") and path[17:] in LIST_MENUS:
            menu = path[17:]
            page = LIST_MENUS.index(menu)
            try:
                size = int(query.get("pagesize", "20"))
            except ValueError:
                size = 20
            return self.send(200, list_page(account, menu, portal.list_section(page, size)))
        is_op = post and (path[18:] in START_TEXTS or path[18:] == "sync.html")
        if path.startswith("/user/cloudManage/") and is_op and portal.opt("op_reply"):
            return self.send(200, portal.opt("op_reply"))
        if path.startswith("/user/cloudManage/") and post and path[18:] in START_TEXTS:
            vpsid = form.get("id", "")
            if portal.opt("refuse"):
                return self.send_json({"result": False, "text": "操作过于频繁，请稍后再试"})
            if not portal.known_vpsid(vpsid):
                return self.send_json({"result": False, "text": "业务不存在"})
            text, state = START_TEXTS[path[18:]]
            portal.set_state(vpsid, state)
            return self.send_json({"result": True, "text": text})
        if path == "/user/cloudManage/sync.html" and post:
            vpsid = form.get("id", "")
            if portal.opt("refuse") or not portal.known_vpsid(vpsid):
                return self.send_json({"result": False, "text": "同步失败，请稍后再试"})
            return self.send_json({"result": True, "text": "同步成功"})
        if path == "/user/cloudManage/manage.html":
            vpsid = query.get("id", "")
            if not portal.known_vpsid(vpsid):
                return self.send(200, simple_page("业务管理", "业务不存在", account))
            return self.send(200, manage_page(account, self.base_url(), vpsid))
        if path == "/user/cloudManage/change.html":
            return self.send(200, simple_page("自助换机", "业务 %s 的自助换机" % query.get("id", ""),
                                              account))
        if path == "/panel/login":
            vpsid = form.get("vpsid", "")
            if not post or form.get("token") != panel_token(vpsid):
                return self.send(200, simple_page("控制面板", "登录信息无效", account))
            return self.send(302, simple_page("控制面板", "正在进入控制面板"), headers=[
                ("Location", "/panel/home?vpsid=%s&key=%s" % (vpsid, panel_key(vpsid)))])
        if path == "/panel/home":
            vpsid = query.get("vpsid", "")
            if query.get("key") != panel_key(vpsid):
                return self.send(403, simple_page("控制面板", "登录信息无效"))
            return self.send(200, simple_page("控制面板", "已登录控制面板：业务 %s" % vpsid))
        if path == "/user/ticket/add.html":
            return self.send(200, ticket_form(account))
        if path == "/user/ticket/save.html" and post:
            reply = portal.opt("ticket")
            if reply == "drop":
                self.close_connection = True
                return None
            if reply == "refuse":
                return self.send(403, json_text({"result": False, "text": "工单提交过于频繁"}),
                                 "application/json; charset=utf-8")
            if not form.get("title"):
                return self.send_json({"result": False, "text": "请填写工单标题"})
            return self.send_json({"result": True, "text": "工单提交成功",
                                   "url": "/user/ticket/index.html"})

        # Everything else the menus open in a browser (register, password
        # recovery, purchase, home...): a small page, logged like the rest.
        return self.send(200, simple_page("QARVEX云", "页面：" + path, account))

    def admin(self, path, query):
        portal = self.portal
        if path == "/__admin/set":
            try:
                for key, value in parse_qsl(query, keep_blank_values=True):
                    portal.set_option(key, value)
            except ValueError as err:
                return self.send(400, json_text({"error": str(err)}),
                                 "application/json; charset=utf-8")
            return self.send_json(portal.options)
        if path == "/__admin/state":
            return self.send_json(dict(portal.options, sessions=len(portal.sessions)))
        if path == "/__admin/log":
            with portal.lock:
                entries = list(portal.log)
                if "clear=1" in query.split("&"):
                    portal.log.clear()
            if "format=lines" in query.split("&"):
                # One compact JSON object per line: easy to scan from C++.
                body = "".join(json_text(e) + "\n" for e in entries)
                return self.send(200, body, "text/plain; charset=utf-8")
            return self.send(200, json_text(entries), "application/json; charset=utf-8")
        if path == "/__admin/last":
            # The last request received, as its log entry ({} before any).
            with portal.lock:
                last = portal.last
            return self.send_json(last or {})
        if path == "/__admin/machines":
            # What --dump-machines prints, with the states as they are now:
            # one JSON array of twelve fields per line, in page order.
            with portal.lock:
                states = dict(portal.states)
            rows = with_expiry_soon(
                with_ssh_machine(dump_machines(portal.opt("machines"), portal.opt("hostile_row")),
                                 portal.opt("ssh_machine")), portal.opt("expiry_soon"))
            body = "".join(json_text(row[:10] + [states.get(row[11], row[10]), row[11]]) + "\n"
                           for row in rows)
            return self.send(200, body, "text/plain; charset=utf-8")
        if path == "/__admin/fault":
            # ?path=P&mode=M sets (mode=none clears P), ?clear=1 clears every
            # fault and the hits; the reply lists the faults and the hits.
            try:
                params = dict(parse_qsl(query, keep_blank_values=True))
                if params.get("clear") == "1":
                    with portal.lock:
                        portal.faults.clear()
                        portal.fault_hits.clear()
                elif "path" in params or "mode" in params:
                    portal.set_fault(params.get("path", ""), params.get("mode", ""))
            except ValueError as err:
                return self.send(400, json_text({"error": str(err)}),
                                 "application/json; charset=utf-8")
            with portal.lock:
                return self.send_json({"faults": dict(portal.faults),
                                       "hits": list(portal.fault_hits)})
        if path == "/__admin/reset":
            portal.reset()
            return self.send_json(portal.options)
        return self.send(404, json_text({"error": "unknown admin path"}),
                         "application/json; charset=utf-8")


def make_server(portal, host="127.0.0.1", port=0):
    handler = type("PortalHandler", (Handler,), {"portal": portal})
    server = ThreadingHTTPServer((host, port), handler)
    server.daemon_threads = True
    return server


# ---------------------------------------------------------------- CLI

def parse_args(argv):
    p = argparse.ArgumentParser(description="QARVEX demo portal and notice page (loopback only)")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=8080, help="0 picks a free port")
    p.add_argument("--latency-ms", type=int, default=0)
    p.add_argument("--version", default="1", help="published version on the notice page")
    p.add_argument("--notice-down", action="store_true", help="notice page answers 503")
    p.add_argument("--notice-charset", choices=("utf-8", "gbk"), default="gbk")
    p.add_argument("--notice", default=DEFAULT_NOTICE, help="main-window notice line")
    p.add_argument("--login-notice", default=DEFAULT_LOGIN_NOTICE)
    p.add_argument("--announcement", default=DEFAULT_ANNOUNCEMENT)
    p.add_argument("--expired", action="store_true", help="every session counts as expired")
    p.add_argument("--refuse", action="store_true", help="power ops and sync fail")
    p.add_argument("--ticket", choices=TICKET_REPLIES, default="ok",
                   help="how the ticket save address answers")
    p.add_argument("--machines", type=int, default=36)
    p.add_argument("--balance", default="128.50")
    p.add_argument("--user", default="demo")
    p.add_argument("--password", default="demo123")
    p.add_argument("--account", action="append", default=[], metavar="NAME:PW")
    p.add_argument("--log", help="JSON-lines request log")
    p.add_argument("--dump-machines", action="store_true",
                   help="print the rows the terminal should list, as JSON, and exit")
    args = p.parse_args(argv)
    for acc in args.account:
        if ":" not in acc:
            p.error("--account takes NAME:PW")
    return args


def is_loopback(host):
    if host == "localhost":
        return True
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        return False


def options_from(args):
    """The portal's options at start: the command line's, the rest off."""
    return {"latency_ms": args.latency_ms, "version": args.version,
            "notice_down": args.notice_down, "expired": args.expired, "remember": False,
            "refuse": args.refuse, "machines": args.machines,
            "notice_charset": args.notice_charset, "notice": args.notice,
            "login_notice": args.login_notice, "announcement": args.announcement,
            "balance": args.balance, "ssh_machine": "", "op_reply": "", "hostile_row": False,
            "expiry_soon": False, "ticket": args.ticket}


def main(argv=None):
    args = parse_args(argv)
    if args.dump_machines:
        sys.stdout.buffer.write(json_text(dump_machines(args.machines)).encode("utf-8") + b"\n")
        return 0
    if not is_loopback(args.host):
        print("refusing to listen on non-loopback host " + args.host, file=sys.stderr)
        return 2
    accounts = [Account(0, args.user, args.password)]
    for n, spec in enumerate(args.account, 1):
        name, _, password = spec.partition(":")
        accounts.append(Account(n, name, password))
    options = options_from(args)
    server = make_server(Portal(options, accounts, args.log), args.host, args.port)
    print("LISTENING %d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
