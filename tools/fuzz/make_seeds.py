#!/usr/bin/env python3
"""Seed corpora for the fuzz targets, from the demo portal's own pages:

    make_seeds.py OUTDIR

writes OUTDIR/<target>/<name> for every target (see the targets' head
comments for the input layouts: flag bytes, then texts separated by 0x1E).
Pages are given in GBK, as the program holds them after converting; the
code-page target gets them as they come over the line. The kept regression
inputs in tools/fuzz/seeds/<target>/ are copied in as well."""

import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools", "demo-portal"))
import demo_portal as demo  # noqa: E402

SEP = b"\x1e"
BASE = "http://127.0.0.1:8080"


def gbk(text):
    return text.encode("gbk", errors="replace")


def joined(*parts):
    return SEP.join(p if isinstance(p, bytes) else gbk(p) for p in parts)


def options(**changes):
    opts = demo.options_from(demo.parse_args([]))
    opts.update(latency_ms=0)
    opts.update(changes)
    return opts


def list_pages(machines, account):
    portal = demo.Portal(options(machines=machines), [account])
    return [demo.list_page(account, menu, portal.list_section(k, size))
            for k, (menu, size) in enumerate(zip(demo.LIST_MENUS, demo.TERMINAL_PAGE_SIZES))]


def seeds():
    account = demo.Account(0, "demo", "demo123")
    odd = demo.Account(1, "张三&amp;", "pw")
    pages36 = list_pages(36, account)
    pages5 = list_pages(5, account)
    one_block = demo.render_block(demo.machine_row(3), "outstart", "运行中")
    notice_gbk = demo.notice_page(options(), BASE)
    notice_new = demo.notice_page(options(version="2", notice_charset="utf-8"), BASE)
    ok = demo.json_text({"result": True, "text": "登录成功", "time": 1, "url": "/user"})
    bad = demo.json_text({"result": False, "text": "用户名或密码错误", "time": 1, "url": ""})
    members = demo.members_page(account, "128.50")
    headers = ("HTTP/1.1 200 OK\r\nServer: QarvexDemo/1.0\r\n"
               "Content-Type: application/json; charset=utf-8\r\nContent-Length: 62\r\n"
               "Set-Cookie: PHPSESSID=0123456789abcdef01234567ab; path=/\r\n"
               "Location: /user\r\n\r\n")
    request = "Accept: */*\r\nReferer: %s//user\r\nCookie: PHPSESSID=ab\r\n" % BASE
    return {
        "list_pages": {
            "demo36": joined("10.0.0.1", *pages36),
            "demo5": joined(":3389", *pages5),
            "none": joined("", *list_pages(0, account)),
            "expired": joined("x", *[demo.login_page()] * 3),
            "huge_figures": joined("", *[
                "<!--列表--><!--统计数量！---><span class=\"num\" >[9223372036854775807]"
                "</span>首页</a>"] * 3),
        },
        "members_probe": {
            "members": gbk(members),
            "members_odd": gbk(demo.members_page(odd, " 1,024.00 ")),
            "probe_live": gbk(demo.user_page(account)),
            "probe_out": gbk(demo.user_page(None)),
            "login_page": gbk(demo.login_page()),
        },
        "notice": {
            "gbk": b"\x01" + gbk(notice_gbk),
            "newer_utf8": b"\x01" + notice_new.encode("utf-8"),
            "newer_gbk": b"\x01" + gbk(notice_new),
            "down": b"\x01",
        },
        "login_verdict": {
            "ok": joined("demo", "demo123", ok),
            "bad": joined("张三".encode("utf-8"), "a&b=c%d+e pass1pass", bad),
            "expired": joined("", "", demo.json_text({"result": False, "text": "请先登录"})),
        },
        "credentials": {
            "file": b"\x00" + gbk("[账户密码]\r\nuser=张三\r\npass=a&b pass1pass"),
            "cut": b"\x00" + gbk("[账户密码]\r\nuser=u\r\npass=abcpassxyz"),
            "pair": b"\x01" + joined("bypass=1", "passpass"),
        },
        "cut_markers": {
            "blocks": b"\x00\x00\x00" + joined("<div class=\"t-row\">", "续费</a>", "", "",
                                               pages36[0]),
            "fields": b"\x06\x00\x00" + joined("<span>宽带账号：", "</span>", "<", ">", one_block),
            "nested": b"\x01\x05\x02" + joined("<a>", "</a>", "", "", "<a>1<A>2</a>x<a>3</a>"),
            "quote": b"\x00\x00\x00" + joined("class=#引号num#引号 >[", "]", "", "", pages5[1]),
        },
        "text_search": {
            "colons": b"\x00\x03\x02" + joined(": ", "a: b: c"),
            "long_min": b"\x00\x00\x00" + joined(": ", "a: b: c"),
            "long_max": b"\x02\x00\x00" + joined("--", "a---b"),
            "marker_page": b"\x01\x00\xff" + joined("宽带账号：", one_block),
            "headers": b"\x04\x00\x00" + joined("\r\n", headers),
            "numbers": b"\x00\x00\x00" + joined("台", "\u3000１２台 -12"),
        },
        "url": {
            "portal": gbk(BASE + "//user/members"),
            "list": gbk(BASE + demo_list_path()),
            "https": b"HTTPS://h.example:8443/a?b=1",
            "bare": b"h.example/p/q",
            "port_max": b"http://h:65535/",
        },
        "cookies": {
            "login": joined("a=1; sid=9", "PHPSESSID=0123456789abcdef; path=/"),
            "deleted": joined("a=1; sid=9", "sid=deleted"),
            "dupes": joined("a=1; a=2; c=3;", "x=1; x=1"),
        },
        "request_rules": {
            "response": b"\x00\x03\x00\x00\x00\x05" + joined(request, BASE + "//user", headers),
            "post": b"\x01\x01\x7f\xff\xff\xff" + joined(
                "content-type: text/xml\r\nConnection: keep-alive", "a=1; b=2",
                "HTTP/1.1 200 OK\r\ncontent-length: 10\r\n\r\n"),
            "notice_utf8": b"\x00\x02\x00\x00\x00\x00" + joined("", "UTF-8",
                                                                notice_new.encode("utf-8")),
            "notice_gbk": b"\x00\x00\x00\x00\x00\x1e" + joined("", "gb2312", gbk(notice_gbk)),
        },
        "form_encode": {
            "amp": b"a&b=c%d+e f",
            "utf8": "张三 密码".encode("utf-8"),
            "gbk": gbk("张三 密码"),
        },
        "codepage": {
            "utf8_page": members.encode("utf-8"),
            "gbk_page": gbk(members),
            "wide": "会员名：张三\U0001F600".encode("utf-16-le"),
            "overlong": b"\xc0\xaf\xe0\x80\xaf\xed\xa0\x80\x81\x7f",
        },
        "form_engine": {
            "ticket": joined("提交", "user/ticket/add.html", demo.ticket_form(account).encode("utf-8")),
            "link": joined("2", "a/b?c", b'<a href="../x y">1</a><a href="//h/p">2</a>'),
            "form": joined("go", "", b'<form action="?q" method=post><input name=a value="\xe5\xbc\xa0">'
                           b'<select name=s><option>1<option selected>2</select>'
                           b'<button name=go>x</button></form>'),
            "redirect": joined("", "", b"HTTP/1.1 307 Temporary\r\nLocation: /next\r\n\r\n"),
        },
        "display_settings": {
            "full": joined("全屏：2真", "长：1600\r\n宽：900sz"),
            "windowed": joined("全屏：1真", ""),
        },
        "rdp_text": {
            "settings": b"\x01" + joined("10.0.0.2:3389", "administrator", "pw", "2", "1600", "900",
                                          "QX000002"),
            "plain": b"\x00" + joined("10.0.0.2", "u", "", "", "", "", "CON"),
        },
        "control_panel": {
            "manage": joined("业务标识：QX000002\r\n远程地址：10.0.0.2",
                             demo.manage_page(account, BASE, "2")),
            "ticket": joined("业务标识：a&b=c", demo.ticket_form(account)),
        },
        "skin_file": {name: b"\x00" + open(os.path.join(ROOT, "resources", "skins", name + ".skin"),
                                             "rb").read() for name in ("blue", "white", "default")},
        "ssh_command": {
            "plain": joined("C:\\Users\\王 五\\AppData\\Local\\qarvex\\ssh\\pw 1.txt", "10.0.0.7:22"),
            "many": joined("", "h:1:2:2222"),
            "quotes": joined("a\\\"b c\\", "h -pw x:22 -L 1"),
            "option": joined("p", "-proxycmd calc:x:22"),
        },
    }


def demo_list_path():
    return ("//user/cloud/menu/computer?orderStatus=&lineID=&pagesize=1000&dateType=1&"
            "rangetime=&searchType=1&searchKey=")


def main(out):
    for target, files in seeds().items():
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(folder, "seed-" + name), "wb") as f:
                f.write(data)
        kept = os.path.join(HERE, "seeds", target)
        if os.path.isdir(kept):
            for name in os.listdir(kept):
                shutil.copyfile(os.path.join(kept, name), os.path.join(folder, "kept-" + name))


if __name__ == "__main__":
    main(sys.argv[1])
