#!/usr/bin/env python3
"""Draws the program's own pictures: the icon (eight sizes, 32-bit, the
256-pixel image PNG-compressed) and the 92 x 22 contact picture.
Writes resources/qarvex.ico and resources/contact.png, then decodes
contact.png into resources/contact.bmp, the form the program embeds (so it
needs no PNG decoder): a 32-bit BMP, top-down, BGRA with straight alpha.
With --bmp only the last step runs."""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources")


def icon_pixel(x, y):
    """RGBA of the icon at (x, y) in a 0..1 square: a blue disc with a white Q."""
    cx, cy = x - 0.5, y - 0.5
    r = math.hypot(cx, cy)
    if r > 0.48:
        return (0, 0, 0, 0)
    # ring of the Q and its tail
    ring = 0.20 <= math.hypot(cx, cy + 0.02) <= 0.30
    tail = abs(cx - cy) < 0.06 and 0.10 < cx < 0.36 and 0.10 < cy < 0.36
    if ring or tail:
        return (255, 255, 255, 255)
    shade = int(40 * (cy + 0.5))
    return (20, 110 - shade // 2, 220 - shade, 255)


def render(size, pixel, w=None, h=None):
    w, h = (w or size), (h or size)
    rows = []
    ss = 4  # supersampling for smooth edges
    for j in range(h):
        row = []
        for i in range(w):
            acc = [0, 0, 0, 0]
            for sj in range(ss):
                for si in range(ss):
                    p = pixel((i + (si + 0.5) / ss) / w, (j + (sj + 0.5) / ss) / h)
                    for k in range(3):
                        acc[k] += p[k] * p[3]
                    acc[3] += p[3]
            a = acc[3] / (ss * ss)
            rgb = [int(acc[k] / acc[3]) if acc[3] else 0 for k in range(3)]
            row.append((rgb[0], rgb[1], rgb[2], int(a)))
        rows.append(row)
    return rows


def png(rows):
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(rows):
    """A 32-bit icon image: BITMAPINFOHEADER, BGRA bottom-up, AND mask."""
    n = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((n + 31) // 32) * 4
    mask = b"\0" * (mask_row * n)
    return header + pixels + mask


def ico(sizes):
    images = []
    for s in sizes:
        rows = render(s, icon_pixel)
        images.append(png(rows) if s == 256 else dib(rows))
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def decode_png(data):
    """Rows of (r, g, b, a) from an 8-bit RGBA, non-interlaced PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, colour, interlace) == (8, 6, 0)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    raw, stride, prev, rows = zlib.decompress(idat), w * 4, bytearray(w * 4), []
    for j in range(h):
        f, line = raw[j * (stride + 1)], bytearray(raw[j * (stride + 1) + 1:(j + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = prev[i], prev[i - 4] if i >= 4 else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[i:i + 4]) for i in range(0, stride, 4)])
        prev = line
    return rows


def bmp(rows):
    """A 32-bit BMP file: BITMAPINFOHEADER with a negative height (top-down), BGRA."""
    h, w = len(rows), len(rows[0])
    pixels = b"".join(bytes((b, g, r, a)) for row in rows for (r, g, b, a) in row)
    info = struct.pack("<IiiHHIIiiII", 40, w, -h, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels


def contact_pixel(x, y):
    """A green rounded button with a white speech bubble on its left."""
    w, h = 92, 22
    px, py = x * w, y * h
    rx = min(px, w - px)
    ry = min(py, h - py)
    if rx < 4 and ry < 4 and math.hypot(4 - rx, 4 - ry) > 4:
        return (0, 0, 0, 0)
    bubble = math.hypot((px - 12) / 7, (py - 10) / 5.5) <= 1 or (8 <= px <= 11 and 14 <= py <= 18 and px - 8 >= (py - 14) * 0.7)
    text_bar = 24 <= px <= 84 and (7 <= py <= 9 or 12 <= py <= 14) and not (52 <= px <= 56)
    if bubble or text_bar:
        return (255, 255, 255, 255)
    return (18, 160 - int(30 * y), 80, 255)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    if "--bmp" not in sys.argv[1:]:
        with open(os.path.join(OUT, "qarvex.ico"), "wb") as f:
            f.write(ico([256, 64, 48, 40, 32, 24, 20, 16]))
        with open(os.path.join(OUT, "contact.png"), "wb") as f:
            f.write(png(render(0, contact_pixel, 92, 22)))
    with open(os.path.join(OUT, "contact.png"), "rb") as f:
        rows = decode_png(f.read())
    with open(os.path.join(OUT, "contact.bmp"), "wb") as f:
        f.write(bmp(rows))
