"""The demo portal's accounts and machines: what the pages show and what the
portal's operations change."""

import datetime
import html
import json
import secrets
import threading

from faults import FAULT_MODES, normal_path
from probe_ports import MODES, with_probe_ports


# The three list pages, in the order the terminal reads them, with the page
# size the terminal asks each of them for.  Machines are spread over them in
# proportion to those sizes (1/4, 1/2, 1/4), so up to 2000 machines all fit.
LIST_MENUS = ("outstart", "computer", "third")
LIST_TITLES = {"outstart": "动态拨号VPS", "computer": "挂机宝", "third": "独立IP云主机"}
TERMINAL_PAGE_SIZES = (500, 1000, 500)

REMARKS = ("测试机{n:02d}", "办公室", "", "挂机专用", "备用机{n}", "研发&测试",
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
    time, expiry time, state, vpsid, as the portal means them (render_block
    writes them HTML-escaped).  Every tenth machine from the second has an
    "&" in its system password."""
    line = LINES[(i - 1) % len(LINES)]
    remark = REMARKS[(i - 1) % len(REMARKS)].format(n=i)
    linux = i % 7 == 0
    port = 22 if linux else (20000 + i if i % 3 == 0 else 3389)
    address = "10.0.%d.%d:%d" % ((i - 1) // 250, (i - 1) % 250 + 1, port)
    account = "root" if linux else "administrator"
    password = "Qx%05d%s%s" % ((i * 7919) % 100000, "&" if i % 10 == 2 else "@",
                                chr(65 + i % 26))
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


def with_ssh_machine(rows, address_and_password):
    """The rows with the ssh_machine option applied: "ADDRESS PASSWORD" (the
    password is everything after the first blank) makes machine QX000001 a
    Linux machine with that remote address, account root and that password."""
    if not address_and_password:
        return rows
    address, _, password = address_and_password.partition(" ")
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
    """One machine block.  Its text is HTML-escaped as a portal writes it:
    "&" as "&amp;", a quote as "&quot;"."""
    (bid, remark, line, address, account, password, bb_account, bb_password,
     opened, expiry, _, vpsid) = [html.escape(f) for f in row]
    state = html.escape(state)
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
                    "ssh_machine": str, "op_reply": str, "refuse_id": str, "hostile_row": bool,
                    "expiry_soon": bool, "ticket": str, "panel_single_use": bool,
                    "probe_ports": str}

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
        self.used_panel_keys = set()  # with panel_single_use, a key logs in once
        self.log_file = open(log_path, "w", encoding="utf-8") if log_path else None
        self.tls = None             # the https server's SSL context, when it serves https
        self.tls_files = None       # (certificate, key) it starts with
        self.probe_ports = None     # the ProbePorts the probe_ports option points at

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
        if key == "probe_ports" and value not in MODES:
            raise ValueError("probe_ports is " + ", ".join(m for m in MODES if m))
        if key == "ticket" and value not in TICKET_REPLIES:
            raise ValueError("ticket is " + ", ".join(TICKET_REPLIES))
        with self.lock:
            self.options[key] = value
            if key in ("hostile_row", "expiry_soon", "probe_ports"):
                self.generation += 1
                self.sections.clear()

    def reset(self):
        if self.tls:
            self.tls.load_cert_chain(*self.tls_files)
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
            self.used_panel_keys.clear()

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
            rows = with_expiry_soon(
                with_ssh_machine(page_rows(total, page, page_size, hostile_first), ssh),
                self.opt("expiry_soon"))
            rows = with_probe_ports(rows, self.opt("probe_ports"), self.probe_ports)
            blocks = [render_block(row, menu, self.states.get(row[11], row[10])) for row in rows]
            text = ('<div class="t-total">共 <!--统计数量！---><span class="num" >[%d]</span> 台</div>\n'
                    % page_split(total)[page]) + "\n".join(blocks)
            with self.lock:
                self.sections[key] = text
        return text


# ---------------------------------------------------------------- pages
