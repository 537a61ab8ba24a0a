#!/usr/bin/env bash
# Builds putty.exe (64-bit Windows, static runtime) from Debian's source
# package of PuTTY with the MinGW-w64 posix toolchain. The result is cached:
# while DIR/putty.exe exists nothing is fetched or built again.
#   tools/build-putty.sh [DIR]      (default: build/putty)
# DIR then holds putty.exe, LICENCE (PuTTY's licence) and build-time.txt.
# Needs the deb-src entries and dpkg-dev that tools/setup.sh provides.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$here/build/putty}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
exe="$out/putty.exe"
[[ -s "$exe" ]] && exit 0

started=$(date +%s)
jobs="${QARVEX_JOBS:-2}"
src="$out/src"
mkdir -p "$src"
cd "$src"

# The source: apt-get source downloads and unpacks it (with Debian's patches).
tree="$(find . -maxdepth 1 -type d -name 'putty-*' | head -n1)"
if [[ -z "$tree" ]]; then
  echo "build-putty: fetching Debian's putty source"
  if ! apt-get source -qq putty >apt-source.log 2>&1; then
    # Some mirrors lack the upstream signature (.orig.tar.gz.asc) that the
    # .dsc lists, and apt-get then unpacks nothing. The tarballs it did fetch
    # are checked against the .dsc and unpacked the way dpkg-source would.
    dsc="$(ls -1 putty_*.dsc 2>/dev/null | tail -n1)"
    [[ -n "$dsc" ]] || { cat apt-source.log >&2; echo "build-putty: no putty source (is there a deb-src entry? run tools/setup.sh)" >&2; exit 1; }
    orig="$(ls -1 putty_*.orig.tar.* | grep -v '\.asc$' | head -n1)"
    debian="$(ls -1 putty_*.debian.tar.* | head -n1)"
    for f in "$orig" "$debian"; do
      want="$(awk -v f="$f" '/^Checksums-Sha256:/{s=1;next} /^[^ ]/{s=0} s && $3==f {print $1}' "$dsc")"
      have="$(sha256sum "$f" | cut -d' ' -f1)"
      [[ -n "$want" && "$want" == "$have" ]] || { echo "build-putty: checksum mismatch for $f" >&2; exit 1; }
    done
    version="$(sed -n 's/^Version: \([^-]*\)-.*/\1/p' "$dsc" | head -n1)"
    tree="putty-$version"
    mkdir "$tree.tmp"
    tar -xf "$orig" -C "$tree.tmp" --strip-components=1
    tar -xf "$debian" -C "$tree.tmp"
    if [[ -f "$tree.tmp/debian/patches/series" ]]; then
      while read -r patch _; do
        [[ -z "$patch" || "$patch" == \#* ]] && continue
        patch -d "$tree.tmp" -p1 -s <"$tree.tmp/debian/patches/$patch"
      done <"$tree.tmp/debian/patches/series"
    fi
    mv "$tree.tmp" "$tree"
  fi
  tree="$(find . -maxdepth 1 -type d -name 'putty-*' | head -n1)"
fi
tree="$src/${tree#./}"

echo "build-putty: building putty.exe (-j$jobs)"
# No build type: PuTTY refuses NDEBUG; the toolchain file sets -Os.
cmake -S "$tree" -B "$out/obj" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/putty-mingw-w64.cmake" \
      >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log" >&2; exit 1; }
cmake --build "$out/obj" --target putty -j "$jobs" >"$out/build.log" 2>&1 ||
  { tail -n 40 "$out/build.log" >&2; exit 1; }
cp "$tree/LICENCE" "$out/LICENCE"
x86_64-w64-mingw32-strip -o "$exe.tmp" "$out/obj/putty.exe"
mv "$exe.tmp" "$exe"
seconds=$(($(date +%s) - started))
echo "putty.exe built from $(basename "$tree") in ${seconds} s with -j$jobs on $(nproc) cores" \
  | tee "$out/build-time.txt"
