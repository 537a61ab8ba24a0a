#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (run as root),
# and prepares the private Wine prefix the tests and the demo use.
# A second run only checks and skips what is already there.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

packages=(cmake make g++ googletest python3 openssl
          mingw-w64 g++-mingw-w64-x86-64-posix
          wine wine64 xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei
          dpkg-dev python3-paramiko clang libclang-rt-14-dev)
# PuTTY is built from Debian's source package (tools/build-putty.sh): apt needs
# deb-src entries for the release, added once when none are configured.
src_list=/etc/apt/sources.list.d/qarvex-deb-src.sources
update=0
if ! grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
       /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "setup: adding the Debian bookworm deb-src entries ($src_list)"
  cat >"$src_list" <<'EOF2'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF2
  update=1
elif [[ -z "$(apt-cache showsrc putty 2>/dev/null)" ]]; then
  update=1  # entries present, lists not fetched yet
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} || update)); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
fi
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine: one private 64-bit prefix for the project, made quietly once.
"$here/tools/wine-prefix.sh"
