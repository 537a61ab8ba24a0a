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
import ipaddress
import select
import socket
import ssl
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler
from urllib.parse import parse_qsl, urlsplit


from faults import *  # noqa: F401,F403
from portal_data import *  # noqa: F401,F403
from portal_pages import *  # noqa: F401,F403
from probe_ports import MODES, ProbePorts, with_probe_ports
from servers import portal_server


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QarvexDemo/1.0"
    portal = None  # set on the subclass made by make_server

    def log_message(self, fmt, *args):
        pass

    def end_headers(self):
        # A reply after which the connection closes says so (a request in
        # HTTP/1.0 without keep-alive ends its connection): a client that took
        # the reply's HTTP/1.1 for a lasting connection would send its next
        # request into the closing one and get a reset for an answer.
        if self.close_connection:
            self.send_header("Connection", "close")
        super().end_headers()

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def do_HEAD(self):
        # The terminal reads an https portal's certificate through a HEAD of
        # "/" before it sends anything else: logged, answered with no body.
        self.portal.record({"method": "HEAD", "path": self.raw_target(),
                            "cookie": self.headers.get("Cookie", ""), "form": {}, "body_raw": "",
                            "headers": [[k, v] for k, v in self.headers.items()]})
        if self.portal.opt("latency_ms") > 0:
            time.sleep(self.portal.opt("latency_ms") / 1000.0)
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

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
        elif mode == "redirect_away":  # the same request again, on another host: a 307 keeps the body
            self.send(307, "moved", headers=[("Location", "http://localhost:%d%s"
                                               % (self.server.server_address[1], raw))])
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
        scheme = "https://" if getattr(self.server, "tls", None) else "http://"
        return scheme + (self.headers.get("Host") or
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
            if vpsid == portal.opt("refuse_id"):
                return self.send_json({"result": False, "text": "该机器正在维护，请稍后再试"})
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
            if portal.opt("panel_single_use"):  # as real panels do: the key logs in once
                with portal.lock:
                    used = vpsid in portal.used_panel_keys
                    portal.used_panel_keys.add(vpsid)
                if used:
                    return self.send(403, simple_page("控制面板", "登录信息已失效"))
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
            rows = with_probe_ports(with_expiry_soon(
                with_ssh_machine(dump_machines(portal.opt("machines"), portal.opt("hostile_row")),
                                 portal.opt("ssh_machine")), portal.opt("expiry_soon")),
                portal.opt("probe_ports"), portal.probe_ports)
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
        if path == "/__admin/cert":
            # ?cert=FILE&key=FILE: the https server shows this certificate
            # from its next connection on (a portal whose certificate changed).
            params = dict(parse_qsl(query, keep_blank_values=True))
            try:
                portal.tls.load_cert_chain(params.get("cert", ""), params.get("key", ""))
            except (AttributeError, OSError, ssl.SSLError) as err:
                return self.send(400, json_text({"error": str(err)}),
                                 "application/json; charset=utf-8")
            return self.send_json({"cert": params.get("cert", "")})
        if path == "/__admin/reset":
            portal.reset()
            return self.send_json(portal.options)
        return self.send(404, json_text({"error": "unknown admin path"}),
                         "application/json; charset=utf-8")


def make_server(portal, host="127.0.0.1", port=0, tls=None):
    """The portal's server; with an SSL context, over https."""
    return portal_server(type("PortalHandler", (Handler,), {"portal": portal}), host, port, tls)


# ---------------------------------------------------------------- CLI


def parse_args(argv):
    p = argparse.ArgumentParser(description="QARVEX demo portal and notice page (loopback only)")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=8080, help="0 picks a free port")
    p.add_argument("--latency-ms", type=int, default=0)
    p.add_argument("--probe-ports", default="", choices=[m for m in MODES if m],
                   help="machine addresses on 127.0.0.1 ports for the terminal's probe")
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
    p.add_argument("--https-port", type=int, help="also serve the portal over https on this "
                   "port (0 picks a free one), with --cert and --key")
    p.add_argument("--cert", help="PEM certificate of the https server")
    p.add_argument("--key", help="PEM private key of the https server")
    p.add_argument("--dump-machines", action="store_true",
                   help="print the rows the terminal should list, as JSON, and exit")
    args = p.parse_args(argv)
    for acc in args.account:
        if ":" not in acc:
            p.error("--account takes NAME:PW")
    if args.https_port is not None and not (args.cert and args.key):
        p.error("--https-port needs --cert and --key")
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
            "balance": args.balance, "ssh_machine": "", "op_reply": "", "refuse_id": "", "hostile_row": False,
            "expiry_soon": False, "ticket": args.ticket, "panel_single_use": False,
            "probe_ports": args.probe_ports}


def main(argv=None):
    args = parse_args(argv)
    if args.dump_machines:
        sys.stdout.buffer.write(json_text(dump_machines(args.machines)).encode("utf-8") + b"\n")
        return 0
    if not is_loopback(args.host):
        print("refusing to listen on non-loopback host " + args.host, file=sys.stderr)
        return 2
    accounts = [Account(0, args.user, args.password)]
    for n, user_and_password in enumerate(args.account, 1):
        name, _, password = user_and_password.partition(":")
        accounts.append(Account(n, name, password))
    options = options_from(args)
    portal = Portal(options, accounts, args.log)
    portal.probe_ports = ProbePorts()
    server = make_server(portal, args.host, args.port)
    servers = [server]
    if args.https_port is not None:
        portal.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        portal.tls_files = (args.cert, args.key)
        portal.tls.load_cert_chain(*portal.tls_files)
        secure = make_server(portal, args.host, args.https_port, portal.tls)
        servers.append(secure)
        threading.Thread(target=secure.serve_forever, daemon=True).start()
    print("LISTENING %d" % server.server_address[1], flush=True)
    if args.https_port is not None:
        print("LISTENING HTTPS %d" % servers[1].server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        for each in servers:
            each.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
