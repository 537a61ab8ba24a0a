#!/usr/bin/env bash
# Runs bench_list.exe (see its head comment) in the project's Wine prefix, in
# its virtual desktop, against a demo portal of its own on 127.0.0.1; on a
# private X display unless $DISPLAY is set. Needs what tools/setup.sh installs.
#
#   bash tools/bench/run_bench_list.sh [RUNS] [--split]
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
"$here/tools/wine-prefix.sh"
cmake -S "$here" -B "$here/build/win" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build/win" --target bench_list -j "$(nproc)" >/dev/null
. "$here/tools/wine-env.sh"
. "$here/tools/xvfb.sh"

portal_dir="$(mktemp -d "${TMPDIR:-/tmp}/qarvex-bench.XXXXXX")"
cleanup() {
  "$here/tests/e2e/demo_portal_fixture.sh" stop "$portal_dir" >/dev/null
  rm -rf "$portal_dir"
  wineserver -k 2>/dev/null || true
  qarvex_stop_display
}
trap cleanup EXIT
[[ -n "${DISPLAY:-}" ]] || qarvex_start_display
# Wine's services and the desktop started here, their output sent nowhere.
wineserver -p 2>/dev/null || true
wine wineboot >/dev/null 2>&1 </dev/null || true
"$here/tests/e2e/demo_portal_fixture.sh" start "$portal_dir" >/dev/null
wine "$here/build/win/tools/bench/bench_list.exe" "http://127.0.0.1:$(cat "$portal_dir/port")" \
  "${1:-3}" "Z:$here/build/win/qarvex.exe" "${@:2}"
