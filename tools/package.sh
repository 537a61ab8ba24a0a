#!/usr/bin/env bash
# Makes the release package build/dist/qarvex-<version>-win64.zip: qarvex.exe
# (built now, symbols stripped), a short Chinese read-me and the licences of
# everything inside qarvex.exe. Needs what tools/setup.sh installs.
#   tools/package.sh
# The version is QARVEX_VERSION of base/version.h. File dates in the zip are
# those of the last commit (or SOURCE_DATE_EPOCH), so the same sources give
# the same package.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${QARVEX_JOBS:-2}"

version="$(sed -n 's/^#define QARVEX_VERSION \([0-9][0-9]*\)$/\1/p' "$here/base/version.h")"
[[ -n "$version" ]] || { echo "package: no QARVEX_VERSION in base/version.h" >&2; exit 1; }
name="qarvex-$version-win64"

# qarvex.exe, up to date (PuTTY comes from its cached build).
QARVEX_JOBS="$jobs" "$here/tools/build-putty.sh" "$here/build/putty"
if [[ ! -f "$here/build/win/CMakeCache.txt" ]]; then
  cmake -S "$here" -B "$here/build/win" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$here/build/win" -j "$jobs" --target qarvex >/dev/null

# The licence texts qarvex.exe carries are the ones shipped: PuTTY's must be
# the one of the PuTTY that was built.
if [[ -f "$here/build/putty/LICENCE" ]] &&
   ! cmp -s "$here/build/putty/LICENCE" "$here/resources/putty-licence.txt"; then
  echo "package: build/putty/LICENCE differs from resources/putty-licence.txt; update the latter" >&2
  exit 1
fi
mingw_copyright=/usr/share/doc/mingw-w64-x86-64-dev/copyright
gcc_copyright=/usr/share/doc/gcc-mingw-w64-base/copyright
for f in "$mingw_copyright" "$gcc_copyright"; do
  [[ -f "$f" ]] || { echo "package: $f is missing (run tools/setup.sh)" >&2; exit 1; }
done

stage="$here/build/dist/stage/$name"
rm -rf "$here/build/dist/stage"
mkdir -p "$stage/licenses"
x86_64-w64-mingw32-strip -o "$stage/qarvex.exe" "$here/build/win/qarvex.exe"
# strip stamps the file with the time of day: the link time goes back in (and
# the header checksum is made again), so one build gives one package.
/usr/bin/python3 - "$here/build/win/qarvex.exe" "$stage/qarvex.exe" <<'PY'
import struct, sys
linked, stripped = sys.argv[1], sys.argv[2]
with open(linked, "rb") as f:
    head = f.read(4096)
stamp = struct.unpack_from("<I", head, struct.unpack_from("<I", head, 0x3C)[0] + 8)[0]
data = bytearray(open(stripped, "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
struct.pack_into("<I", data, pe + 8, stamp)
checksum_at = pe + 24 + 64  # optional header, after the file header
struct.pack_into("<I", data, checksum_at, 0)
total = 0
for (word,) in struct.iter_unpack("<H", bytes(data) + b"\0" * (len(data) % 2)):
    total += word
    total = (total & 0xFFFF) + (total >> 16)
struct.pack_into("<I", data, checksum_at, (total & 0xFFFF) + len(data))
open(stripped, "wb").write(data)
PY
sed "s/@VERSION@/$version/g" "$here/resources/package-readme.txt" >"$stage/README.txt"
# Every licence that travels in resources/ (PuTTY, the HTML parser, ...).
for f in "$here"/resources/*-licence.txt; do
  base="$(basename "$f" -licence.txt)"
  case "$base" in
    putty) out=PuTTY ;;
    *) out="$base" ;;
  esac
  cp "$f" "$stage/licenses/$out.txt"
done
# The MinGW-w64 runtime (C runtime start-up, winpthreads) and GCC's runtime
# (libgcc, libstdc++) are linked statically into qarvex.exe and its PuTTY.
{
  echo "qarvex.exe and the PuTTY inside it are built with MinGW-w64 and link parts of"
  echo "its runtime (the C runtime start-up code, libmingwex, winpthreads) statically."
  echo "Their copyright and licence notes, as Debian ships them"
  echo "($mingw_copyright):"
  echo
  cat "$mingw_copyright"
} >"$stage/licenses/MinGW-w64-runtime.txt"
{
  echo "qarvex.exe links GCC's runtime libraries (libgcc and libstdc++) statically,"
  echo "the PuTTY inside it libgcc. They are licensed under the GNU General Public License,"
  echo "version 3 or later, with version 3.1 of the GCC Runtime Library Exception,"
  echo "which permits conveying programs compiled with GCC under terms of their own."
  echo "The GPL: https://www.gnu.org/licenses/gpl-3.0.html. The Exception, as Debian"
  echo "ships it ($gcc_copyright):"
  echo
  sed -n '/^GCC RUNTIME LIBRARY EXCEPTION$/,/^requirements of the license of GCC\.$/p' "$gcc_copyright"
} >"$stage/licenses/GCC-runtime.txt"
grep -q "requirements of the license of GCC" "$stage/licenses/GCC-runtime.txt" ||
  { echo "package: the GCC Runtime Library Exception was not found in $gcc_copyright" >&2; exit 1; }

# Texts for Windows Notepad: CR LF line ends, and UTF-8 with a byte order mark
# where a text is not plain ASCII (every Notepad reads that as UTF-8, whatever
# the system's code page; GBK would show only on Chinese systems).
for f in "$stage/README.txt" "$stage"/licenses/*.txt; do
  sed -i 's/\r$//; s/$/\r/' "$f"
  if LC_ALL=C grep -q '[^[:print:][:space:]]' "$f"; then
    { printf '\xef\xbb\xbf'; cat "$f"; } >"$f.bom" && mv "$f.bom" "$f"
  fi
done

epoch="${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || date +%s)}"
zip="$here/build/dist/$name.zip"
rm -f "$zip"
/usr/bin/python3 - "$here/build/dist/stage" "$name" "$zip" "$epoch" <<'PY'
import os, sys, time, zipfile
root, name, out, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip dates start in 1980
paths = []
for folder, dirs, files in os.walk(os.path.join(root, name)):
    dirs.sort()
    paths += [os.path.join(folder, f) for f in sorted(files)]
paths.sort(key=lambda p: (p.count(os.sep), p))  # qarvex.exe and README.txt first
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for p in paths:
        info = zipfile.ZipInfo(os.path.relpath(p, root).replace(os.sep, "/"), stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(p, "rb") as f:
            z.writestr(info, f.read())
    for i in z.infolist():
        print(f"{i.file_size:>10}  {i.compress_size:>10}  {i.filename}")
PY
rm -rf "$here/build/dist/stage"
size="$(stat -c %s "$zip")"
echo "$zip: $size bytes ($(numfmt --to=iec --suffix=B "$size"))"
