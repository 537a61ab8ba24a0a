#!/usr/bin/env bash
# The floors of the tree: every file may include its own folder and the
# floors below it, never one above. Prints each include that breaks this and
# exits non-zero when there is one (run by the test command).
#   base <- web <- portal, remote <- app;  base <- skin <- app
set -euo pipefail
root="$(cd "${1:-$(dirname "$0")/..}" && pwd)"
declare -A may=(
  [base]="base"
  [web]="base web"
  [portal]="base web portal"
  [remote]="base web remote"
  [skin]="base skin"
  [app]="base web portal remote skin app"
)
bad=0
for floor in "${!may[@]}"; do
  [[ -d "$root/$floor" ]] || continue
  while IFS=: read -r file line folder; do
    if [[ " ${may[$floor]} " != *" $folder "* ]]; then
      echo "$file:$line: $floor/ includes $folder/, a floor above or beside it" >&2
      bad=1
    fi
  done < <(cd "$root" && grep -rnoE '^#include "[a-z]+/' "$floor" --include='*.h' --include='*.cpp' |
           sed -E 's/#include "([a-z]+)\/$/\1/')
done
[[ $bad == 0 ]] && echo "floors: every include goes to the same floor or one below"
exit $bad
