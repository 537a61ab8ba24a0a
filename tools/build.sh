#!/usr/bin/env bash
# Builds both targets: build/win (MinGW-w64, for Wine) and build/native
# (portable code and its tests under AddressSanitizer and UBSan).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
cmake -S "$here" -B "$here/build/win" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build/win" -j "$jobs"
cmake -S "$here" -B "$here/build/native" -DQARVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$here/build/native" -j "$jobs"
