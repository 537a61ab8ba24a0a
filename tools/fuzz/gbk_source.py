#!/usr/bin/env python3
"""Writes a UTF-8 source file as GB18030 bytes, for clang: clang has no
-fexec-charset other than UTF-8, so the fuzz build compiles sources whose
narrow literals already are GBK, as g++ makes them with -fexec-charset.

    gbk_source.py IN OUT

Refuses a file where the rewrite would change the meaning: a double-byte
character whose second byte is a backslash (it would escape the next
character or join a comment to the next line), or a non-ASCII u8"" literal."""

import os
import re
import sys


def main(src, dst):
    with open(src, encoding="utf-8") as f:
        text = f.read()
    if re.search(r'u8"[^"\n]*[^\x00-\x7f]', text):
        sys.exit("%s: a u8 literal holds non-ASCII text" % src)
    data = text.encode("gb18030")
    i = 0
    while i < len(data):
        if 0x81 <= data[i] <= 0xFE and i + 1 < len(data):
            if data[i + 1] == 0x5C:
                line = data[:i].count(b"\n") + 1
                sys.exit("%s:%d: a character ends in a backslash byte in GBK" % (src, line))
            i += 4 if 0x30 <= data[i + 1] <= 0x39 else 2
        else:
            i += 1
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    tmp = dst + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, dst)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
