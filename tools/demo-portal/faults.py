"""The demo portal's fault modes: how a path can misbehave for the tests."""

FAULT_MODES = ("refuse", "reset_mid_body", "stall", "stall_mid_body", "status_500",
               "redirect_loop", "redirect_away", "big_body", "bad_utf8", "cut_mid_char")
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
