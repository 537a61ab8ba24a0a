#!/usr/bin/env bash
# Creates the project's private Wine prefix (64-bit, quiet, CJK fonts mapped).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/tools/wine-env.sh"
# The browser stand-in lives in the prefix, so the registry entry stays right
# whichever clone made the prefix.
mkdir -p "$WINEPREFIX"
install -m 755 "$here/tools/browser-log.sh" "$WINEPREFIX/qarvex-browser.sh"
if [[ -f "$WINEPREFIX/.qarvex-ready" ]]; then exit 0; fi
echo "setup: creating Wine prefix $WINEPREFIX"
mkdir -p "$WINEPREFIX"
wine wineboot -i >/dev/null 2>&1 || true
wineserver -w || true
reg="$WINEPREFIX/qarvex-fonts.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for f in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft YaHei" "SimSun" "NSimSun" "宋体" "微软雅黑" "Segoe UI" "Arial"; do
    printf '"%s"="WenQuanYi Micro Hei"\r\n' "$f"
  done
  # The shell's browser: tests point it at a logging script through QARVEX_BROWSER_LOG.
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]\r\n"Browsers"="%s"\r\n' "$WINEPREFIX/qarvex-browser.sh"
  # No crash dialogs in tests.
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n'
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 || true
wineserver -w || true
touch "$WINEPREFIX/.qarvex-ready"
