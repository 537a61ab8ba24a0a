#!/usr/bin/env bash
# Creates the project's private Wine prefix (64-bit, quiet, CJK fonts mapped)
# and keeps its settings current: the settings are applied again whenever they
# differ from those the prefix was last given (the stamp holds their digest).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/tools/wine-env.sh"
# The browser stand-in lives in the prefix, so the registry entry stays right
# whichever clone made the prefix.
mkdir -p "$WINEPREFIX"
install -m 755 "$here/tools/browser-log.sh" "$WINEPREFIX/qarvex-browser.sh"

reg="$WINEPREFIX/qarvex-settings.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for f in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft YaHei" "SimSun" "NSimSun" "宋体" "微软雅黑" "Segoe UI" "Arial"; do
    printf '"%s"="WenQuanYi Micro Hei"\r\n' "$f"
  done
  # The shell's browser: tests point it at a logging script through QARVEX_BROWSER_LOG.
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]\r\n"Browsers"="%s"\r\n' "$WINEPREFIX/qarvex-browser.sh"
  # No crash dialogs in tests.
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n'
  # Every program of the prefix runs in one virtual desktop (a single X
  # window of 1920x1080): no X window manager is involved, so Wine does not
  # wait for one whenever a window is shown or hidden, and the tests and the
  # program they start see the same desktop.
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Default"\r\n'
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Default"="1920x1080"\r\n'
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg.new"

stamp="$WINEPREFIX/.qarvex-ready"
digest="$(sha256sum <"$reg.new" | cut -d' ' -f1)"
if [[ -f "$WINEPREFIX/system.reg" && "$(cat "$stamp" 2>/dev/null)" == "$digest" ]]; then
  rm -f "$reg.new"
  exit 0
fi
mv "$reg.new" "$reg"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "setup: creating Wine prefix $WINEPREFIX"
  wine wineboot -i >/dev/null 2>&1 </dev/null || true
  timeout 300 wineserver -w || true
else
  echo "setup: updating the settings of Wine prefix $WINEPREFIX"
fi
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 </dev/null || true
# Wine writes the registry out when its server ends (a server kept running by
# an earlier run would make this wait forever: the settings are live anyway).
timeout 120 wineserver -w || true
echo "$digest" >"$stamp"
