#!/usr/bin/env python3
"""One-line fault check of the portable code of base/, web/ and portal/:
changes one line at a time
(comparison flipped, && and || swapped, a ! dropped, a whole-number constant
off by one, + and - swapped, true and false swapped, two arguments of a call
swapped), rebuilds the native tests and runs them. A change the tests notice
(a failure, a sanitizer report, a hang) is caught; one that does not compile
is left out of the count. Prints every surviving change and the score.

    tools/mutate.py [--build DIR] [--files F...] [--per-line N [--seed S]] [--every N]
                    [--retest LOG] [--list]

The build folder (default build/mutate) is configured like build/native (the
gumbo sources are taken from build/native's configuration when build/gumbo has
none). After each change only the test programs that were linked again are
run, the changed floor's own first. The sources are restored after each
change, also when the run is interrupted.
"""

import argparse
import os
import random
import signal
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The native test programs, one per floor (tests/CMakeLists.txt).
TESTS = ["base_tests", "web_tests", "portal_tests", "remote_tests", "skin_tests"]
FOLDERS = ("base", "web", "portal")
# fetch_page.h and winhttp_fetch.h declare the Windows request routines;
# version.h holds the release number.
LEFT_OUT = ("fetch_page.h", "winhttp_fetch.h", "version.h")


def portable_files():
    out = []
    for d in FOLDERS:
        for name in sorted(os.listdir(os.path.join(HERE, d))):
            # *_posix.cpp is the native build's stand-in for a Windows seam.
            if (name.endswith((".cpp", ".h")) and "_win." not in name
                    and "_posix." not in name and name not in LEFT_OUT):
                out.append(os.path.join(d, name))
    return out


def gumbo_option():
    """-DQARVEX_GUMBO_DIR=... from build/native's cache when build/gumbo lacks
    the sources (a worktree that reuses another tree's copy)."""
    if os.path.exists(os.path.join(HERE, "build", "gumbo", "src", "gumbo.h")):
        return []
    try:
        with open(os.path.join(HERE, "build", "native", "CMakeCache.txt"), encoding="utf-8") as f:
            for line in f:
                if line.startswith("QARVEX_GUMBO_DIR:"):
                    return ["-DQARVEX_GUMBO_DIR=" + line.split("=", 1)[1].strip()]
    except OSError:
        pass
    return []


def code_spans(line):
    """(start, end) ranges of the line that are code: outside string and
    character literals and outside a // comment."""
    spans, i, start, n = [], 0, 0, len(line)
    while i < n:
        c = line[i]
        if line.startswith("//", i):
            break
        if c in "\"'":
            spans.append((start, i))
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            i = start = j + 1
            continue
        i += 1
    spans.append((start, min(i, n)))
    return spans


SWAPS = [(" <= ", " < "), (" < ", " <= "), (" >= ", " > "), (" > ", " >= "),
         (" == ", " != "), (" != ", " == "), (" && ", " || "), (" || ", " && "),
         (" + ", " - "), (" - ", " + "), ("true", "false"), ("false", "true")]
NUMBER = re.compile(r"(?<![\w.])(0x[0-9A-Fa-f]+|\d+)(?![\w.])")
NOT = re.compile(r"!(?!=)")
CALL2 = re.compile(r"\b(\w+)\(([\w.]+(?:\(\))?), ([\w.]+(?:\(\))?)\)")
WORD = re.compile(r"^\w+$")
# A row of a lookup table ({"name", number}, ...): data, not logic.
TABLE_ROW = re.compile(r'^\s*(\{"[^"]*", \d+\},?\s*)+$')


def mutants_of_line(line):
    """Every one-token change of the line: (description, new line)."""
    stripped = line.strip()
    if (not stripped or stripped.startswith(("#", "//", "*", "/*", "namespace", "}  //"))
            or "static_assert" in line or TABLE_ROW.match(line)):
        return []
    out = []
    for a, b in code_spans(line):
        seg = line[a:b]
        for old, new in SWAPS:
            for m in re.finditer(re.escape(old), seg):
                if WORD.match(old) and (
                        (m.start() > 0 and (seg[m.start() - 1].isalnum() or seg[m.start() - 1] == "_"))
                        or (m.end() < len(seg) and (seg[m.end()].isalnum() or seg[m.end()] == "_"))):
                    continue
                if old.strip() in "<>" and ("template" in line or "static_cast" in seg[max(0, m.start() - 12):m.start()]):
                    continue
                s = a + m.start()
                out.append(("%r -> %r" % (old.strip(), new.strip()),
                            line[:s] + new + line[s + len(old):]))
        for m in NUMBER.finditer(seg):
            text = m.group(1)
            value = int(text, 16) if text.startswith("0x") else int(text)
            s, e = a + m.start(), a + m.end()
            for v in (value + 1, value - 1):
                if v < 0:
                    continue
                rep = ("0x%X" % v) if text.startswith("0x") else str(v)
                out.append(("%s -> %s" % (text, rep), line[:s] + rep + line[e:]))
        for m in NOT.finditer(seg):
            s = a + m.start()
            out.append(("drop !", line[:s] + line[s + 1:]))
        for m in CALL2.finditer(seg):
            if m.group(2) == m.group(3):
                continue
            s = a + m.start()
            new = "%s(%s, %s)" % (m.group(1), m.group(3), m.group(2))
            out.append(("swap args of %s" % m.group(1), line[:s] + new + line[a + m.end():]))
    return out


def all_mutants(files):
    result = []
    for rel in files:
        with open(os.path.join(HERE, rel), encoding="utf-8") as f:
            lines = f.read().split("\n")
        in_block_comment = False
        for k, line in enumerate(lines):
            if in_block_comment:
                in_block_comment = "*/" not in line
                continue
            if line.strip().startswith("/*"):
                in_block_comment = "*/" not in line
                continue
            for desc, new in mutants_of_line(line):
                result.append((rel, k, desc, new))
    return result


def survivors_of(log):
    """The surviving changes listed by an earlier run, as (file, line, change, new line)."""
    out, listing = [], False
    with open(log, encoding="utf-8") as f:
        for line in f:
            if line.startswith("surviving changes:"):
                listing = True
            elif listing and line.startswith("  "):
                where, _, new = line.strip().partition(" | ")
                rel, k, desc = where.split(":", 2)
                with open(os.path.join(HERE, rel), encoding="utf-8") as src:
                    old = src.read().split("\n")[int(k) - 1]
                indent = old[:len(old) - len(old.lstrip())]
                if indent + new not in [m for _, m in mutants_of_line(old)]:
                    print("skipped (the source moved on): " + line.strip())
                    continue
                out.append((rel, int(k) - 1, desc.strip(), indent + new))
            elif listing:
                break
    return out


def run(cmd, timeout, cwd=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=timeout)
        return p.returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(HERE, "build", "mutate"))
    ap.add_argument("--files", nargs="*")
    ap.add_argument("--per-line", type=int, default=0,
                    help="at most N changes of each line, picked at random (0: all)")
    ap.add_argument("--seed", type=int, default=13, help="seed of that pick")
    ap.add_argument("--every", type=int, default=1, help="then every Nth change only")
    ap.add_argument("--retest", metavar="LOG",
                    help="only the changes that survived in an earlier run's output")
    ap.add_argument("--list", action="store_true", help="list the changes and stop")
    ap.add_argument("--jobs", default="2")
    args = ap.parse_args()
    files = args.files or portable_files()
    mutants = all_mutants(files)
    if args.per_line > 0:
        rng = random.Random(args.seed)
        by_line = {}
        for m in mutants:
            by_line.setdefault((m[0], m[1]), []).append(m)
        mutants = [m for group in by_line.values()
                   for m in sorted(rng.sample(group, min(args.per_line, len(group))),
                                   key=group.index)]
    mutants = mutants[::max(args.every, 1)]
    if args.retest:
        mutants = survivors_of(args.retest)
    if args.list:
        for rel, k, desc, new in mutants:
            print("%s:%d: %s | %s" % (rel, k + 1, desc, new.strip()))
        print(len(mutants), "changes")
        return 0

    # A stop (SIGTERM) still puts the sources back (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    subprocess.run(["cmake", "-S", HERE, "-B", args.build, "-DQARVEX_SANITIZE=ON",
                    "-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold"]
                   + gumbo_option(), check=True, stdout=subprocess.DEVNULL)
    build = ["cmake", "--build", args.build, "-j", args.jobs]
    for t in TESTS:
        build += ["--target", t]
    if run(build, 900) != 0:
        print("the unchanged sources do not build")
        return 2
    for t in TESTS:
        if run([os.path.join(args.build, "tests", t)], 120) != 0:
            print("the unchanged sources fail", t)
            return 2

    caught = survived = broken = 0
    survivors, per_file = [], {}
    originals = {}
    started = time.time()
    try:
        for idx, (rel, k, desc, new) in enumerate(mutants):
            path = os.path.join(HERE, rel)
            if rel not in originals:
                with open(path, encoding="utf-8") as f:
                    originals[rel] = f.read()
            lines = originals[rel].split("\n")
            lines[k] = new
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            try:
                built = time.time()
                if run(build, 600) != 0:
                    broken += 1
                    verdict = "no build"
                else:
                    verdict = "survived"
                    # A program not linked again cannot notice the change.
                    own = rel.split("/")[0] + "_tests"
                    for t in sorted(TESTS, key=lambda t: t != own):
                        exe = os.path.join(args.build, "tests", t)
                        if os.path.getmtime(exe) < built - 1:
                            continue
                        rc = run([exe], 60)
                        if rc != 0:
                            verdict = "caught by %s (%s)" % (t, rc)
                            break
            finally:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(originals[rel])
            stats = per_file.setdefault(rel, [0, 0])
            if verdict.startswith("caught"):
                caught += 1
                stats[0] += 1
            elif verdict == "survived":
                survived += 1
                stats[1] += 1
                survivors.append("%s:%d: %s | %s" % (rel, k + 1, desc, new.strip()))
            print("[%d/%d] %s:%d %s: %s" % (idx + 1, len(mutants), rel, k + 1, desc, verdict),
                  flush=True)
    finally:
        for rel, text in originals.items():
            with open(os.path.join(HERE, rel), "w", encoding="utf-8") as f:
                f.write(text)
    print("\nsurviving changes:")
    for s in survivors:
        print("  " + s)
    print("\nper file (caught/total):")
    for rel, (c, s) in sorted(per_file.items()):
        print("  %-28s %d/%d" % (rel, c, c + s))
    print("\nper folder (caught/total):")
    for d in FOLDERS:
        c = sum(v[0] for r, v in per_file.items() if r.startswith(d + "/"))
        t = sum(v[0] + v[1] for r, v in per_file.items() if r.startswith(d + "/"))
        if t:
            print("  %-8s %d/%d (%.1f %%)" % (d + "/", c, t, 100.0 * c / t))
    total = caught + survived
    print("\ncaught %d of %d one-line changes (%.1f %%); %d did not compile; %.0f s"
          % (caught, total, 100.0 * caught / max(total, 1), broken, time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
