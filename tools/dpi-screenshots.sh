#!/usr/bin/env bash
# Screenshots of the login window, the filled main window and the resolution
# window at a higher DPI, to see
# that the layout scales and nothing is clipped:
#   tools/dpi-screenshots.sh [PERCENT...]     (default 150; 125 → 120 DPI)
# Each size runs in a copy of the project's Wine prefix whose LogPixels is set
# (the prefix itself stays at 96 DPI), under a private Xvfb, against the demo
# portal. Writes build/screenshots/dpi<PERCENT>-login.png, -main.png and
# -resolution.png.
# Needs build/win/qarvex.exe (tools/build.sh).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/tools/wine-env.sh"
"$here/tools/wine-prefix.sh"
base="$WINEPREFIX"
shots="$here/build/screenshots"
work="$here/build/dpi-screenshots"
mkdir -p "$shots" "$work"
exe="$here/build/win/qarvex.exe"
[[ -f "$exe" ]] || { echo "no $exe: run tools/build.sh first" >&2; exit 1; }

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

# The demo portal on a free port.
log="$work/demo-portal.log"
python3 "$here/tools/demo-portal/demo_portal.py" --port 0 --log "$log" >"$work/portal.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q LISTENING "$work/portal.out" 2>/dev/null && break; sleep 0.1; done
port="$(sed -n 's/^LISTENING \([0-9]*\).*/\1/p' "$work/portal.out")"
[[ -n "$port" ]] || { echo "the demo portal did not start" >&2; exit 1; }
export QARVEX_PORTAL_URL="http://127.0.0.1:$port"
export QARVEX_NOTICE_URL="http://127.0.0.1:$port/notice.html"
export QARVEX_WEBSITE_URL="http://127.0.0.1:$port/website"
export QARVEX_CONTACT_URL="http://127.0.0.1:$port/contact"

# A private X display.
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -t 10 -u "$fd" display || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"

# Waits (up to 60 s) for the portal to see a request for the path.
seen() { for _ in $(seq 600); do grep -q "\"path\": \"$1" "$log" && return 0; sleep 0.1; done; return 1; }

for percent in "${@:-150}"; do
  dpi=$((percent * 96 / 100))
  export WINEPREFIX="$base-dpi$dpi"
  if [[ ! -f "$WINEPREFIX/.qarvex-ready" ]]; then
    echo "copying the Wine prefix to $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    cp -a "$base" "$WINEPREFIX"
  fi
  wineserver -k 2>/dev/null || true
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w
  # The demo account saved as if typed before: Enter presses 登录.
  mkdir -p "$WINEPREFIX/drive_c/qarvex"
  printf '[账户密码]\r\nuser=demo\r\npass=demo123pass' | iconv -f UTF-8 -t GBK \
    >"$WINEPREFIX/drive_c/qarvex/config.ini"
  : >"$log"
  wine explorer "/desktop=qarvex$dpi,1920x1200" "$exe" >/dev/null 2>&1 &
  app=$!
  pids+=("$app")
  seen '//user"' || { echo "the terminal did not reach the portal" >&2; exit 1; }
  # The login window's buttons are enabled once the probe has answered.
  sleep 2
  import -window root "$shots/dpi$percent-login.png"
  echo "Login window at $percent % ($dpi DPI): $shots/dpi$percent-login.png"
  xdotool mousemove 960 600 key Return
  seen '//user/cloud/menu/third' || { echo "the list did not load" >&2; exit 1; }
  sleep 3
  import -window root "$shots/dpi$percent-main.png"
  echo "Main window at $percent % ($dpi DPI): $shots/dpi$percent-main.png"
  # 设置 → 远程分辨率 from the context menu of the first machine (its line
  # lies 40 + about 30 design pixels below the client's top at (50, 50)).
  y=$(((50 + 70) * dpi / 96 + 24))
  xdotool mousemove 300 "$y" click 1 sleep 0.5 click 3
  sleep 1.5
  xdotool key Up sleep 0.2 key Up sleep 0.2 key Up sleep 0.2 key Up sleep 0.3 key Right sleep 0.5 key Return
  sleep 2
  import -window root "$shots/dpi$percent-resolution.png"
  echo "Resolution window at $percent % ($dpi DPI): $shots/dpi$percent-resolution.png"
  kill "$app" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
done
