#!/bin/sh
# Stands in for the browser under Wine: records each URL the program opens.
# The log goes to $QARVEX_BROWSER_LOG, or /tmp/qarvex-browser.log.
echo "$1" >> "${QARVEX_BROWSER_LOG:-/tmp/qarvex-browser.log}"
