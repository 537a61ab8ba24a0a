#!/usr/bin/env bash
# CTest fixture: starts the demo portal on a free loopback port for the
# end-to-end tests (start DIR [options…]) and stops it (stop DIR).
set -u
here="$(cd "$(dirname "$0")/../.." && pwd)"
action="$1"; dir="$2"; shift 2
mkdir -p "$dir"
case "$action" in
  start)
    [[ -f "$dir/pid" ]] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/port" "$dir/out"
    setsid python3 "$here/tools/demo-portal/demo_portal.py" --port 0 --log "$dir/requests.log" "$@" \
      >"$dir/out" 2>"$dir/err" </dev/null &
    echo $! >"$dir/pid"
    for _ in $(seq 100); do
      port="$(sed -n 's/^LISTENING \([0-9]*\)$/\1/p' "$dir/out" 2>/dev/null)"
      if [[ -n "$port" ]]; then echo "$port" >"$dir/port"; echo "demo portal on 127.0.0.1:$port"; exit 0; fi
      sleep 0.1
    done
    echo "demo portal did not start"; cat "$dir/err"; exit 1 ;;
  stop)
    [[ -f "$dir/pid" ]] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/pid"; exit 0 ;;
esac
