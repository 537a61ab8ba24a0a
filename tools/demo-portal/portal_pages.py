"""The demo portal's pages, written with the markers the terminal cuts them by."""

import hashlib
import json
from urllib.parse import unquote_to_bytes

from portal_data import *  # noqa: F401,F403


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
