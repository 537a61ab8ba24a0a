#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (run as root),
# and prepares the private Wine prefix the tests and the demo use.
# A second run only checks and skips what is already there.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

packages=(cmake make g++ googletest python3 openssl
          mingw-w64 g++-mingw-w64-x86-64-posix
          wine wine64 xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine: one private 64-bit prefix for the project, made quietly once.
"$here/tools/wine-prefix.sh"
