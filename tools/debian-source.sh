#!/usr/bin/env bash
# Fetches and unpacks a Debian source package (with Debian's patches) into
# DIR, once: prints the path of the unpacked tree. Needs the deb-src entries
# and dpkg-dev (tools/setup.sh).
#   tools/debian-source.sh PACKAGE DIR
set -euo pipefail
pkg="$1"
mkdir -p "$2"
dir="$(cd "$2" && pwd)"
cd "$dir"
tree="$(find . -maxdepth 1 -type d -name "*-[0-9]*" ! -name '*.tmp' | head -n1)"
if [[ -z "$tree" ]]; then
  if ! apt-get source -qq "$pkg" >apt-source.log 2>&1; then
    # Some mirrors lack the upstream signature (.asc) that the .dsc lists, and
    # apt-get then unpacks nothing. The tarballs it did fetch are checked
    # against the .dsc and unpacked the way dpkg-source would.
    dsc="$(ls -1 "${pkg}"_*.dsc 2>/dev/null | tail -n1)"
    orig="$(ls -1 "${pkg}"_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1 || true)"
    debian="$(ls -1 "${pkg}"_*.debian.tar.* 2>/dev/null | head -n1 || true)"
    if [[ -z "$dsc" || -z "$orig" || -z "$debian" ]]; then
      cat apt-source.log >&2
      echo "debian-source: no $pkg source (is there a deb-src entry? run tools/setup.sh)" >&2
      exit 1
    fi
    for f in "$orig" "$debian"; do
      want="$(awk -v f="$f" '/^Checksums-Sha256:/{s=1;next} /^[^ ]/{s=0} s && $3==f {print $1}' "$dsc")"
      have="$(sha256sum "$f" | cut -d' ' -f1)"
      [[ -n "$want" && "$want" == "$have" ]] || { echo "debian-source: checksum mismatch for $f" >&2; exit 1; }
    done
    version="$(sed -n 's/^Version: \([^-]*\)-.*/\1/p' "$dsc" | head -n1)"
    tree="$pkg-$version"
    rm -rf "$tree.tmp"
    mkdir "$tree.tmp"
    tar -xf "$orig" -C "$tree.tmp" --strip-components=1
    tar -xf "$debian" -C "$tree.tmp"
    if [[ -f "$tree.tmp/debian/patches/series" ]]; then
      while read -r patch _; do
        [[ -z "$patch" || "$patch" == \#* ]] && continue
        patch -d "$tree.tmp" -p1 -s <"$tree.tmp/debian/patches/$patch"
      done <"$tree.tmp/debian/patches/series"
    fi
    mv "$tree.tmp" "$tree"
  fi
  tree="$(find . -maxdepth 1 -type d -name "*-[0-9]*" ! -name '*.tmp' | head -n1)"
fi
echo "$dir/${tree#./}"
