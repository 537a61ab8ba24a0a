#!/usr/bin/env bash
# The project's test command: installs what is missing, builds both targets and
# runs every test (native under the sanitizers, Windows under Wine and Xvfb).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/tools/setup.sh"
"$here/tools/build.sh"
. "$here/tools/wine-env.sh"
. "$here/tools/xvfb.sh"

# A private X display for the Windows GUI tests when none is given.
cleanup() { wineserver -k 2>/dev/null || true; qarvex_stop_display; }
trap cleanup EXIT
[[ -n "${DISPLAY:-}" ]] || qarvex_start_display
# One wineserver for the whole run, and Wine's own services and the desktop
# process (explorer, which draws the prefix's virtual desktop) started here
# with their output sent nowhere: started from inside a test they would
# inherit CTest's output pipe and CTest would wait for them.
wineserver -p 2>/dev/null || true
wine wineboot >/dev/null 2>&1 </dev/null || true

status=0
echo "== native tests (AddressSanitizer, UBSan)"
(cd "$here/build/native" && ctest --output-on-failure) || status=1
echo "== fuzz targets, a few seconds each (clang, libFuzzer, AddressSanitizer, UBSan)"
"$here/tools/fuzz.sh" --each 3 || status=1
echo "== Windows tests under Wine"
cd "$here/build/win" && ctest --output-on-failure || status=1
exit $status
