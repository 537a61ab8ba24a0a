#!/usr/bin/env bash
# Builds both targets: build/win (MinGW-w64, for Wine) and build/native
# (portable code and its tests under AddressSanitizer and UBSan).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
# PuTTY, carried inside qarvex.exe: built once from Debian's source package
# into build/putty and reused afterwards (minutes on a fresh machine).
QARVEX_JOBS="$jobs" "$here/tools/build-putty.sh" "$here/build/putty"
cmake -S "$here" -B "$here/build/win" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build/win" -j "$jobs"
cmake -S "$here" -B "$here/build/native" -DQARVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$here/build/native" -j "$jobs"
