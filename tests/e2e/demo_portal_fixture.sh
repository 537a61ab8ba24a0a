#!/usr/bin/env bash
# CTest fixture: starts the demo portal on a free loopback port for the
# end-to-end tests (start DIR [--https] [options…]) and stops it (stop DIR).
# --https: it serves https too, on a port of its own (DIR/https_port), with
# the first of two self-signed certificates made here (DIR/cert1.pem,
# DIR/cert2.pem, their keys, and the SHA-256 of their public keys in
# DIR/cert1.pin, DIR/cert2.pin).
set -u
here="$(cd "$(dirname "$0")/../.." && pwd)"
action="$1"; dir="$2"; shift 2
mkdir -p "$dir"
case "$action" in
  start)
    [[ -f "$dir/pid" ]] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/port" "$dir/https_port" "$dir/out"
    https=()
    if [[ "${1:-}" == --https ]]; then
      shift
      for n in 1 2; do
        openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=localhost" -days 2 \
          -keyout "$dir/key$n.pem" -out "$dir/cert$n.pem" 2>/dev/null || exit 1
        openssl x509 -in "$dir/cert$n.pem" -pubkey -noout | openssl pkey -pubin -outform der |
          openssl dgst -sha256 -r | cut -d' ' -f1 >"$dir/cert$n.pin"
      done
      https=(--https-port 0 --cert "$dir/cert1.pem" --key "$dir/key1.pem")
    fi
    setsid python3 "$here/tools/demo-portal/demo_portal.py" --port 0 --log "$dir/requests.log" \
      "${https[@]}" "$@" >"$dir/out" 2>"$dir/err" </dev/null &
    echo $! >"$dir/pid"
    for _ in $(seq 100); do
      port="$(sed -n 's/^LISTENING \([0-9]*\)$/\1/p' "$dir/out" 2>/dev/null)"
      secure="$(sed -n 's/^LISTENING HTTPS \([0-9]*\)$/\1/p' "$dir/out" 2>/dev/null)"
      if [[ -n "$port" && ( ${#https[@]} -eq 0 || -n "$secure" ) ]]; then
        [[ -n "$secure" ]] && echo "$secure" >"$dir/https_port"
        echo "$port" >"$dir/port"; echo "demo portal on 127.0.0.1:$port${secure:+, https on $secure}"; exit 0
      fi
      sleep 0.1
    done
    echo "demo portal did not start"; cat "$dir/err"; exit 1 ;;
  stop)
    [[ -f "$dir/pid" ]] && kill "$(cat "$dir/pid")" 2>/dev/null
    rm -f "$dir/pid"; exit 0 ;;
esac
