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

# The source: Debian's package, fetched and unpacked once (with its patches).
echo "build-putty: Debian's putty source"
tree="$("$here/tools/debian-source.sh" putty "$src")"

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
