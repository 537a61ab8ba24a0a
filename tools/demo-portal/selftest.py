#!/usr/bin/env python3
"""Self-test of the demo portal.  Starts it on a free port and reads its pages
the way the terminal does: UTF-8 body converted to GBK, then cut between
markers.  Run: python3 tools/demo-portal/selftest.py"""

import html
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
from urllib.parse import quote

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo_portal.py")

LIST_URLS = [
    "//user/cloud/menu/%s?orderStatus=&lineID=&pagesize=%d&dateType=1&rangetime=&searchType=1&searchKey="
    % (menu, size) for menu, size in (("outstart", 500), ("computer", 1000), ("third", 500))]

ROW_MARKERS = [("<span>业务标识：", "</span>"), ('data-name="', '"></i><!--备注---!>'),
               ("<!--线路><!--><h3>", "</h3>"), ('txt">', "</span>"),
               ("<span>系统账户：", "</span>"), ("<span>系统密码：", "</span>"),
               ("<span>宽带账号：", "</span>"), ("<span>宽带密码：", "</span>"),
               ("<!--开通时间!--><h3>", '<br><em class="">'), ('<em class="">', "</em></h3>"),
               ("<!--状态><!--><h3>", "</h3>"), ("&id=", '">管理</a>')]

LOGIN_BODY = "redirectURL=&username=%s&password=%s&captcha=&saveNull=0&customerServiceID="


def gbk(data):
    """The terminal's Utf8ToAnsi; strict, so a page text outside GBK fails."""
    return data.decode("utf-8").encode("gbk")


def between(text, start, end):
    """The terminal's TextBetween on GBK bytes; returns str."""
    start, end = start.encode("gbk"), end.encode("gbk")
    i = text.find(start)
    j = text.find(end, i + len(start)) if i >= 0 else -1
    return text[i + len(start):j].decode("gbk") if j >= 0 else ""


def cut_rows(joined):
    start, end = '<div class="t-row">'.encode("gbk"), "续费</a>".encode("gbk")
    rows, p = [], 0
    while True:
        s = joined.find(start, p)
        e = joined.find(end, s + len(start)) if s >= 0 else -1
        if e < 0:
            return rows
        p = s + len(start)
        # The fields as the terminal keeps them: references decoded.
        rows.append([html.unescape(between(joined[p:e], a, b)) for a, b in ROW_MARKERS])


class DemoPortalTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.log_path = os.path.join(cls.tmp.name, "requests.jsonl")
        cls.proc = subprocess.Popen(
            [sys.executable, SCRIPT, "--port", "0", "--log", cls.log_path,
             "--account", "测试用户:密码pw"], stdout=subprocess.PIPE, text=True)
        line = cls.proc.stdout.readline().split()
        assert line[0] == "LISTENING", line
        cls.port = int(line[1])

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        cls.proc.wait(5)
        cls.proc.stdout.close()
        cls.tmp.cleanup()

    def setUp(self):
        self.admin("/__admin/reset")

    def request(self, method, path, body=None, cookie=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        headers = {"Cookie": cookie} if cookie else {}
        if body is not None:
            headers["Content-Type"] = "application/x-www-form-urlencoded"
            body = body.encode("gbk") if isinstance(body, str) else body
        conn.request(method, path, body=body, headers=headers)
        resp = conn.getresponse()
        data = resp.read()
        conn.close()
        return resp, data

    def admin(self, path):
        resp, data = self.request("GET", path)
        self.assertEqual(resp.status, 200, data)
        return json.loads(data)

    def login(self, user="demo", password="demo123"):
        resp, data = self.request("POST", "//login/login", LOGIN_BODY % (user, password))
        verdict = between(gbk(data), 'result":true,"text":"', '","time":1,"url')
        cookie = resp.getheader("Set-Cookie")
        return verdict, cookie.split(";")[0] if cookie else None

    def probe(self, cookie):
        page = gbk(self.request("GET", "//user", cookie=cookie)[1])
        return between(page, "<!--user!--><h3>", "</h3>"), between(page, "<!--登录", "状态!-->")

    def list_rows(self, cookie):
        sections = [between(gbk(self.request("GET", url, cookie=cookie)[1]), "<!--列表-->", "首页</a>")
                    for url in LIST_URLS]
        counts = [int(between(s.encode("gbk"), '<!--统计数量！---><span class="num" >[', "]</span>") or 0)
                  for s in sections]
        return counts, cut_rows("\r\n".join(sections).encode("gbk"))

    def test_login_probe_logout_and_expiry(self):
        self.assertEqual(self.login("demo", "wrong"), ("", None))
        self.assertEqual(self.probe(None), ("", "0"))
        verdict, cookie = self.login()
        self.assertEqual(verdict, "登录成功")
        self.assertEqual(self.probe(cookie), ("demo", "1"))
        # The terminal posts typed values raw, in GBK; a second account by mobile.
        self.assertEqual(self.login("测试用户", "密码pw")[0], "登录成功")
        self.assertEqual(self.login("13800138000", "demo123")[0], "登录成功")

        self.request("GET", "//home/login/logout", cookie=cookie)
        self.assertEqual(self.probe(cookie), ("", "0"))
        members = gbk(self.request("GET", "//user/members", cookie=cookie)[1])
        self.assertEqual(between(members, "会员名：", "<!--会员名！--->"), "")

        verdict, cookie = self.login()
        self.admin("/__admin/set?expired=1")
        self.assertEqual(verdict, "登录成功")
        self.assertEqual(self.probe(cookie), ("", "0"))
        self.assertEqual(self.list_rows(cookie), ([0, 0, 0], []))

    def test_remember_makes_the_session_cookie_persistent(self):
        resp, _ = self.request("POST", "//login/login", LOGIN_BODY % ("demo", "demo123"))
        self.assertNotIn("Max-Age", resp.getheader("Set-Cookie"))
        self.admin("/__admin/set?remember=1")
        resp, _ = self.request("POST", "//login/login", LOGIN_BODY % ("demo", "demo123"))
        self.assertIn("; Max-Age=86400; Expires=", resp.getheader("Set-Cookie"))

    def test_members_and_list_match_dump(self):
        cookie = self.login()[1]
        members = gbk(self.request("GET", "//user/members", cookie=cookie)[1])
        self.assertEqual(between(members, "会员名：", "<!--会员名！--->"), "demo")
        self.assertEqual(between(members, "<!--当前余额!--><span>", "</span>"), "128.50")

        dump = json.loads(subprocess.check_output(
            [sys.executable, SCRIPT, "--dump-machines", "--machines", "36"]))
        counts, rows = self.list_rows(cookie)
        self.assertEqual(sum(counts), 36)
        self.assertTrue(all(counts))
        self.assertEqual(rows, dump)
        self.assertEqual(len({r[11] for r in rows}), 36)
        self.assertTrue(any(r[6] == "" for r in rows) and any(r[6] for r in rows))
        self.assertEqual(rows[1][5], "Qx15838&C")  # written "Qx15838&amp;C" in the page

        # Beyond what the three page sizes hold the counts still add up to the
        # total; the rows stop at 500 + 1000 + 500.  Large lists stay quick.
        self.admin("/__admin/set?machines=2003")
        began = time.monotonic()
        counts, rows = self.list_rows(cookie)
        self.assertLess(time.monotonic() - began, 5)
        self.assertEqual((sum(counts), len(rows)), (2003, 2000))
        self.assertEqual(rows[-1], json.loads(subprocess.check_output(
            [sys.executable, SCRIPT, "--dump-machines", "--machines", "2003"]))[-1])

    def test_ssh_machine(self):
        cookie = self.login()[1]
        password = 'a b"中文 密码'
        self.admin("/__admin/set?ssh_machine=" +
                   urllib.parse.quote("127.0.0.1:2222 " + password))
        row = self.list_rows(cookie)[1][0]
        self.assertEqual((row[0], row[3], row[4], row[5]),
                         ("QX000001", "127.0.0.1:2222", "root", password))
        machines = self.request("GET", "/__admin/machines")[1].decode("utf-8")
        self.assertEqual(json.loads(machines.splitlines()[0]), row)
        self.admin("/__admin/reset")
        self.assertNotEqual(self.list_rows(self.login()[1])[1][0][3], "127.0.0.1:2222")

    def test_power_ops_and_sync(self):
        def verdict(op, vpsid, cookie):
            data = self.request("POST", "//user/cloudManage/" + op, "id=" + vpsid, cookie=cookie)[1]
            return between(gbk(data), '{"result":true,"text":"', '"}'), gbk(data)

        cookie = self.login()[1]
        vpsid = self.list_rows(cookie)[1][0][11]
        self.assertEqual(verdict("Start.html", vpsid, cookie)[0], "开机成功")
        self.assertEqual(verdict("restart.html", vpsid, cookie)[0], "重启成功")
        self.assertEqual(verdict("stop.html", vpsid, cookie)[0], "关机成功")
        self.assertEqual(self.list_rows(cookie)[1][0][10], "已关机")
        self.assertIn("同步成功".encode("gbk"), verdict("sync.html", vpsid, cookie)[1])

        self.assertEqual(verdict("start.html", vpsid, cookie)[0], "")   # path is case-sensitive
        self.assertEqual(verdict("Start.html", "", cookie)[0], "")
        self.assertEqual(verdict("Start.html", vpsid, None)[0], "")
        self.admin("/__admin/set?refuse=1")
        for op in ("Start.html", "stop.html", "restart.html"):
            self.assertEqual(verdict(op, vpsid, cookie)[0], "")
        self.assertNotIn("同步成功".encode("gbk"), verdict("sync.html", vpsid, cookie)[1])

        # The last body received, and a reply given by hand for all four.
        last = self.admin("/__admin/last")
        self.assertEqual((last["path"], last["body_raw"]), ("//user/cloudManage/sync.html",
                                                             "id=" + vpsid))
        self.admin("/__admin/set?refuse=0&op_reply=" + quote("<p>开机成功</p>"))
        self.assertEqual(verdict("Start.html", vpsid, cookie), ("", "<p>开机成功</p>".encode("gbk")))

    def test_hostile_row(self):
        cookie = self.login()[1]
        self.admin("/__admin/set?hostile_row=1")
        first = self.list_rows(cookie)[1][0]
        self.assertEqual(first[0], "..\\..\\x")
        self.assertTrue(first[3].endswith(":3389\r\nalternate shell:s:cmd"), first[3])
        machines = self.request("GET", "/__admin/machines")[1].decode("utf-8")
        self.assertEqual(json.loads(machines.splitlines()[0]), first)

    def test_manage_fragment_and_ticket(self):
        cookie = self.login()[1]
        page = gbk(self.request("GET", "//user/cloudManage/manage.html?menu=outstart&id=10003",
                                cookie=cookie)[1])
        fragment = between(page, "<!--分割开始!--->", "<!--分割结束!--->")
        for text in ('<i class="icon uicon-uicon70"></i>', '<div class="wrap">', "<em>自助换机</em>",
                     "<input type='submit'>",
                     '<a href="javascript:;"  class="qg-btn whole-bg-color">'):
            self.assertEqual(fragment.count(text), 1, text)
        self.assertEqual(fragment.split('action="')[1].split('"')[0], "/panel/login")
        form = "&".join("%s=%s" % (k, fragment.split('name="%s" value="' % k)[1].split('"')[0])
                        for k in ("vpsid", "token"))
        # The panel login redirects to the logged-in panel page, which needs
        # no portal session; without the session the login fails.
        resp, _ = self.request("POST", "/panel/login", form, cookie=cookie)
        self.assertEqual(resp.status, 302)
        home = resp.getheader("Location")
        self.assertTrue(home.startswith("/panel/home?vpsid=10003&key="), home)
        self.assertIn("已登录控制面板：业务 10003", self.request("GET", home)[1].decode())
        self.assertEqual(self.request("GET", "/panel/home?vpsid=10003&key=x")[0].status, 403)
        resp, data = self.request("POST", "/panel/login", form)
        self.assertEqual(resp.status, 200)
        self.assertNotIn("已登录控制面板", data.decode())

        ticket = gbk(self.request("GET", "//user/ticket/add.html?classId=1", cookie=cookie)[1])
        self.assertEqual(between(ticket, 'id="mobile" value="', '">'), "13800138000")
        self.assertEqual(between(ticket, 'name="qq" id="qq" value="', '">'), "10001")
        body = ("classID=1&title=QX000001%EF%BC%9A&content=%E4%B8%9A+a&attachments=&mobile=13800138000"
                "&myMobile=1&qq=10001&myQQ=1&attachmentIds=")
        self.assertIn('"result":true', self.request("POST", "//user/ticket/save.html", body,
                                                     cookie=cookie)[1].decode())
        logged = self.admin("/__admin/log")[-1]
        self.assertEqual((logged["form"]["title"], logged["form"]["content"]), ("QX000001：", "业 a"))
        self.assertEqual(logged["body_raw"], body)
        # Told to refuse, the save address answers 403; told to drop, nothing.
        self.admin("/__admin/set?ticket=refuse")
        self.assertEqual(self.request("POST", "//user/ticket/save.html", body, cookie=cookie)[0].status,
                         403)
        self.admin("/__admin/set?ticket=drop")
        with self.assertRaises((http.client.HTTPException, ConnectionError)):
            self.request("POST", "//user/ticket/save.html", body, cookie=cookie)
        self.assertEqual(self.admin("/__admin/log")[-1]["body_raw"], body)
        self.assertEqual(self.request("GET", "/__admin/set?ticket=maybe")[0].status, 400)

    def test_notice_page(self):
        self.admin("/__admin/set?notice_charset=utf-8")
        data = self.request("GET", "/notice.html")[1]
        self.assertRegex(data[:1024].decode("utf-8", "ignore"), r'<meta charset="utf-8">')
        texts = lambda page: [between(page, a, b) for a, b in (
            ("最新版本：", "</span></strong>"), ("<!--登录窗口><!-->", "</span></strong>"),
            ("<!--更新公告><!-->", "</span></strong>"), ('target="_blank">', "</a></span></strong>"))]
        version, login_notice, announcement, link = texts(gbk(data))
        self.assertEqual(version, "1")
        self.assertTrue(login_notice and announcement)
        self.assertEqual(link, "http://127.0.0.1:%d/download.html" % self.port)
        self.assertEqual(self.request("GET", link.split(str(self.port))[1])[0].status, 200)

        # In GBK form the page is read byte for byte, which also lets the
        # main window cut its notice line without any conversion.
        self.admin("/__admin/set?version=2%20beta&notice_charset=gbk")
        data = self.request("GET", "/notice.html")[1]
        self.assertIn(b'<meta charset="gb2312">', data[:1024])
        self.assertEqual(texts(data)[:2], ["2 beta", login_notice])
        self.assertTrue(between(data, "<!--公告><!-->", "</span>"))

        self.admin("/__admin/set?notice_down=1")
        resp, data = self.request("GET", "/notice.html")
        self.assertEqual((resp.status, data), (503, b""))

    def test_request_log_and_plain_get(self):
        self.admin("/__admin/set?latency_ms=200")
        began = time.monotonic()
        cookie = self.login()[1]
        self.assertGreaterEqual(time.monotonic() - began, 0.2)
        # The terminal's plain GET: HTTP/1.0, nothing but the User-Agent.
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as sock:
            sock.sendall(b"GET //user/members HTTP/1.0\r\nUser-Agent: Mozilla/4.0 (compatible; "
                         b"MSIE 6.0; Windows NT 5.0)\r\nCookie: " + cookie.encode() + b"\r\n\r\n")
            reply = b"".join(iter(lambda: sock.recv(65536), b""))
        self.assertIn("会员名：demo".encode(), reply)
        # The connection ends with the reply, which says so: a client that
        # kept it for its next request would get a reset.
        self.assertIn(b"\r\nConnection: close\r\n", reply.split(b"\r\n\r\n")[0] + b"\r\n")

        log = self.admin("/__admin/log")
        self.assertEqual([e["path"] for e in log], ["//login/login", "//user/members"])
        post, get = log
        self.assertEqual(post["form"]["username"], "demo")
        self.assertEqual(post["form"]["customerServiceID"], "")
        self.assertEqual(post["cookie"], "")
        self.assertEqual(get["cookie"], cookie)
        self.assertEqual(get["headers"][0], ["User-Agent", "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"])
        with open(self.log_path, encoding="utf-8") as f:
            self.assertEqual([json.loads(line) for line in f][-2:], log)

    def test_faults(self):
        cookie = self.login()[1]
        fault = lambda q: self.admin("/__admin/fault?" + q)

        def raw(path, seconds=10):
            """The bytes that arrive on a fresh connection for a GET of path."""
            with socket.create_connection(("127.0.0.1", self.port), timeout=seconds) as sock:
                sock.sendall(b"GET " + path.encode() + b" HTTP/1.1\r\nHost: x\r\nCookie: " +
                             cookie.encode() + b"\r\n\r\n")
                data = b""
                try:
                    for chunk in iter(lambda: sock.recv(65536), b""):
                        data += chunk
                except (ConnectionResetError, socket.timeout):
                    pass
                return data

        whole = self.request("GET", "//user/members", cookie=cookie)[1]
        self.assertEqual(self.request("GET", "/__admin/fault?path=/x&mode=odd")[0].status, 400)
        fault("path=/user/*&mode=status_500")
        fault("path=//user/members&mode=refuse")  # its own path wins over the prefix
        self.assertEqual(raw("//user/members"), b"")
        self.assertEqual(self.request("GET", "//user/cloud/menu/third", cookie=cookie)[0].status, 500)

        fault("path=/user/members&mode=reset_mid_body")
        head, _, body = raw("//user/members").partition(b"\r\n\r\n")
        self.assertIn(b"Content-Length: %d" % len(whole), head)
        self.assertEqual(body, whole[:len(whole) // 2])

        fault("path=/user/members&mode=redirect_loop")
        resp, _ = self.request("GET", "//user/members", cookie=cookie)
        self.assertEqual((resp.status, resp.getheader("Location")),
                         (302, "http://127.0.0.1:%d//user/members" % self.port))

        fault("path=/user/members&mode=bad_utf8")
        body = self.request("GET", "//user/members", cookie=cookie)[1]
        self.assertRaises(UnicodeDecodeError, body.decode, "utf-8")
        self.assertIn(whole, body)

        # Cut after the first byte of a character: in UTF-8, and in GBK on the notice page.
        fault("path=/user/members&mode=cut_mid_char")
        body = self.request("GET", "//user/members", cookie=cookie)[1]
        self.assertTrue(whole.startswith(body) and len(body) >= len(whole) // 2)
        self.assertGreaterEqual(body[-1], 0xC0)
        fault("path=/notice.html&mode=cut_mid_char")
        body = self.request("GET", "/notice.html")[1]
        self.assertTrue(0x81 <= body[-1] <= 0xFE and body[:-1].decode("gbk"), body[-8:])

        fault("path=/user/members&mode=big_body")
        resp, body = self.request("GET", "//user/members", cookie=cookie)
        self.assertEqual(len(body), 50 * 1024 * 1024)
        self.assertNotIn("会员名".encode(), body[:1 << 20])

        # Stalls: no byte (or half the body) until the client gives up, which
        # the hits show.
        for mode, expected in (("stall", b""), ("stall_mid_body", whole[:len(whole) // 2])):
            fault("path=/user/members&mode=" + mode)
            data = raw("//user/members", seconds=0.5)
            self.assertEqual(data.partition(b"\r\n\r\n")[2], expected)
        for _ in range(50):
            stalls = [h for h in fault("")["hits"] if h["mode"].startswith("stall")]
            if len(stalls) == 2:
                break
            time.sleep(0.05)
        self.assertEqual([(h["client_left"], h["ms"] >= 400) for h in stalls], [(True, True)] * 2)

        fault("path=/user/members&mode=none")
        self.assertEqual(fault("")["faults"], {"/user/*": "status_500",
                                              "/notice.html": "cut_mid_char"})
        fault("clear=1")
        self.assertEqual(fault(""), {"faults": {}, "hits": []})
        self.assertEqual(self.request("GET", "//user/members", cookie=cookie)[1], whole)

if __name__ == "__main__":
    unittest.main()
