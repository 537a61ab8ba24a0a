#!/usr/bin/env bash
# The sources of the gumbo HTML5 parser, from Debian, into DIR/src (once; the
# build compiles them as a static library). Debian's gumbo-parser source
# package is not served by every mirror, so the copy of gumbo that Debian's
# ruby-nokogiri source package carries (a maintained fork, Apache-2.0, in
# its gumbo-parser/src) is used.
#   tools/gumbo-source.sh DIR
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$1"
[[ -s "$out/src/gumbo.h" ]] && exit 0
mkdir -p "$out/debian"
tree="$("$here/tools/debian-source.sh" ruby-nokogiri "$out/debian")"
rm -rf "$out/src.tmp"
cp -r "$tree/gumbo-parser/src" "$out/src.tmp"
cp "$tree/LICENSE-DEPENDENCIES.md" "$out/LICENSE-DEPENDENCIES.md"
echo "gumbo from $(basename "$tree")" >"$out/origin.txt"
mv "$out/src.tmp" "$out/src"
rm -rf "$out/debian"  # only the parser's sources are kept
echo "gumbo-source: gumbo from $(basename "$tree") in $out/src"
