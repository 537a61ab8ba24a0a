#!/usr/bin/env sh
# Starts or stops the recording test server (tests/web/recording_server.py) for
# CTest's fixture: `recording_server.sh start DIR` returns once DIR/ports
# names its two loopback ports; `recording_server.sh stop DIR` ends it.
set -eu
action="$1"
dir="$2"
here="$(cd "$(dirname "$0")" && pwd)"

stop() {
  if [ -s "$dir/pid" ]; then
    pid="$(cat "$dir/pid")"
    kill "$pid" 2>/dev/null || true
    rm -f "$dir/pid"
  fi
}

case "$action" in
  start)
    mkdir -p "$dir"
    stop
    rm -f "$dir/ports"
    setsid python3 "$here/recording_server.py" --dir "$dir" >"$dir/server.log" 2>&1 </dev/null &
    for _ in $(seq 300); do
      if [ -s "$dir/ports" ]; then
        echo "recording server on ports $(cat "$dir/ports")"
        exit 0
      fi
      sleep 0.1
    done
    echo "recording server did not start:" >&2
    cat "$dir/server.log" >&2
    exit 1
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
