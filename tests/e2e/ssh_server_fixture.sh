#!/usr/bin/env bash
# CTest fixture: starts the loopback SSH server (ssh_server.py) for the
# Linux远程 test (start DIR) and stops it (stop DIR). DIR then holds port,
# hostkey (PuTTY's cache entry for its key) and record.jsonl (what it received).
set -u
here="$(cd "$(dirname "$0")" && pwd)"
action="$1"; dir="$2"
mkdir -p "$dir"
case "$action" in
  start)
    [[ -f "$dir/pid" ]] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/port" "$dir/out" "$dir/hostkey" "$dir/record.jsonl"
    # Debian's python3 with python3-paramiko, whatever python3 is first on PATH.
    setsid /usr/bin/python3 "$here/ssh_server.py" --record "$dir/record.jsonl" \
      --hostkey-out "$dir/hostkey" >"$dir/out" 2>"$dir/err" </dev/null &
    echo $! >"$dir/pid"
    for _ in $(seq 300); do
      port="$(sed -n 's/^LISTENING \([0-9]*\)$/\1/p' "$dir/out" 2>/dev/null)"
      if [[ -n "$port" ]]; then echo "$port" >"$dir/port"; echo "SSH server on 127.0.0.1:$port"; exit 0; fi
      sleep 0.1
    done
    echo "SSH server did not start"; cat "$dir/err"; exit 1 ;;
  stop)
    [[ -f "$dir/pid" ]] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/pid"; exit 0 ;;
esac
