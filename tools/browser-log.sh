#!/bin/sh
# Stands in for the browser under Wine: records each URL the program opens, in
# C:\qarvex-browser.log of the Wine prefix (or $QARVEX_BROWSER_LOG).
echo "$1" >> "${QARVEX_BROWSER_LOG:-${WINEPREFIX:-$HOME/.wine}/drive_c/qarvex-browser.log}"
