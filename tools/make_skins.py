#!/usr/bin/env python3
"""Writes the program's skin files from their readable sources.

Each resources/skins/NAME.txt ("key = value" lines; a line starting with '#' is a comment)
becomes resources/skins/NAME.skin in the skin file format that
skin/skin_file.h describes. Every colour and metric must be given once.
The .skin files are committed, so the build needs no Python.

    python3 tools/make_skins.py
"""
import os
import re
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SKINS = os.path.join(HERE, "..", "resources", "skins")

# In the order of SkinColour and SkinMetric (skin/skin_file.h).
COLOURS = """window text frame caption_top caption_bottom caption_inactive_top
caption_inactive_bottom caption_text caption_text_inactive caption_button_hot
caption_button_pressed close_hot close_pressed button_top button_bottom button_border
button_text button_hot_top button_hot_bottom button_pressed_top button_pressed_bottom
button_disabled_face button_disabled_text button_default_border edit_back edit_text
edit_border edit_focus_border edit_disabled_back edit_disabled_text cue_text group_border
group_text list_back list_text list_alt_back list_select_back list_select_text header_top
header_bottom header_text header_divider scroll_track scroll_thumb scroll_thumb_hot
scroll_arrow menu_back menu_text menu_hot_back menu_hot_text menu_disabled_text
menu_separator menu_border caption_glyph""".split()
METRICS = """caption_height border_width frame_radius button_radius caption_font_size
caption_font_weight caption_button_width menu_item_height""".split()

VERSION = 1
HEADER_SIZE = 16
TAG_NAME, TAG_FONT, TAG_COLOURS, TAG_METRICS = 1, 2, 16, 17


def read_source(path):
    values = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):  # a comment line
                continue
            key, sep, value = (part.strip() for part in line.partition("="))
            if not sep or not key:
                sys.exit(f"{path}:{number}: expected key = value")
            if key in values:
                sys.exit(f"{path}:{number}: {key} given twice")
            values[key] = value
    return values


def record(tag, payload):
    return struct.pack("<HH", tag, len(payload)) + payload


def build(values, path):
    missing = [k for k in ["name", "font"] + COLOURS + METRICS if k not in values]
    unknown = [k for k in values if k not in ["name", "font"] + COLOURS + METRICS]
    if missing or unknown:
        sys.exit(f"{path}: missing {missing}, unknown {unknown}")
    colours = b""
    for role, key in enumerate(COLOURS):
        m = re.fullmatch(r"#([0-9A-Fa-f]{6})", values[key])
        if not m:
            sys.exit(f"{path}: {key} is not #RRGGBB")
        colours += bytes([role]) + bytes.fromhex(m.group(1))
    metrics = b"".join(struct.pack("<Bh", i, int(values[k])) for i, k in enumerate(METRICS))
    body = (record(TAG_NAME, values["name"].encode("utf-8")) +
            record(TAG_FONT, values["font"].encode("utf-8")) +
            record(TAG_COLOURS, colours) + record(TAG_METRICS, metrics))
    header = b"QXSK" + struct.pack("<HHII", VERSION, HEADER_SIZE, HEADER_SIZE + len(body),
                                   zlib.crc32(body) & 0xFFFFFFFF)
    return header + body


def main():
    for name in sorted(os.listdir(SKINS)):
        if not name.endswith(".txt"):
            continue
        source = os.path.join(SKINS, name)
        data = build(read_source(source), source)
        out = os.path.join(SKINS, name[:-4] + ".skin")
        with open(out, "wb") as f:
            f.write(data)
        print(f"{out}: {len(data)} bytes")


if __name__ == "__main__":
    main()
