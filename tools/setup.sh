#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (apt as
# root, or through sudo for a user), and prepares the private Wine prefix the
# tests and the demo use.
# A second run only checks and skips what is already there.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

packages=(cmake make g++ googletest python3 openssl
          mingw-w64 g++-mingw-w64-x86-64-posix
          wine wine64 xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei
          dpkg-dev python3-paramiko clang libclang-rt-14-dev)
# apt-get and apt's sources: as root, or through sudo for a user.
as_root=()
if ((EUID != 0)) && command -v sudo >/dev/null; then as_root=(sudo); fi
need_root() {
  if ((EUID != 0 && ${#as_root[@]} == 0)); then
    echo "error: $1 needs root: run this as root, or install sudo" >&2
    exit 1
  fi
}
# PuTTY and the HTML parser (gumbo) are built from Debian's source packages
# (tools/build-putty.sh, tools/gumbo-source.sh; gumbo comes from the copy in
# ruby-nokogiri's source): apt needs deb-src entries for the release, added
# once when none are configured.
src_list=/etc/apt/sources.list.d/qarvex-deb-src.sources
update=0
if ! grep -rqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
       /etc/apt/sources.list /etc/apt/sources.list.d/; then
  echo "setup: adding the Debian bookworm deb-src entries ($src_list)"
  need_root "adding apt sources"
  "${as_root[@]}" tee "$src_list" >/dev/null <<'EOF2'
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
elif [[ -z "$(apt-cache showsrc putty 2>/dev/null)" ||
        -z "$(apt-cache showsrc ruby-nokogiri 2>/dev/null)" ]]; then
  update=1  # entries present, lists not fetched yet
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} || update)); then
  need_root "apt-get"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
fi
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine: one private 64-bit prefix for the project, made quietly once.
"$here/tools/wine-prefix.sh"
