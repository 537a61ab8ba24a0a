# Sourced by tools/test.sh and tools/run.sh: a private X display.
#
# qarvex_start_display starts Xvfb (1920x1080, 24 bits, no TCP), lets it pick a
# free display number itself (-displayfd) and exports DISPLAY once the server
# answers. It fails loudly, with Xvfb's own output, when the server does not
# come up. qarvex_stop_display ends that server (and only that one).

qarvex_xvfb_pid=""
qarvex_xvfb_dir=""

qarvex_start_display() {
  qarvex_xvfb_dir="$(mktemp -d "${TMPDIR:-/tmp}/qarvex-xvfb.XXXXXX")"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp \
    3>"$qarvex_xvfb_dir/display" >"$qarvex_xvfb_dir/log" 2>&1 </dev/null &
  qarvex_xvfb_pid=$!
  local number="" _
  for _ in $(seq 200); do
    number="$(cat "$qarvex_xvfb_dir/display" 2>/dev/null)"
    [[ "$number" =~ ^[0-9]+$ ]] && break
    number=""
    kill -0 "$qarvex_xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [[ -z "$number" ]] || ! xdpyinfo -display ":$number" >/dev/null 2>&1; then
    echo "error: the private X display (Xvfb) did not start:" >&2
    tail -n 12 "$qarvex_xvfb_dir/log" | sed 's/^/  Xvfb: /' >&2
    qarvex_stop_display
    return 1
  fi
  export DISPLAY=":$number"
}

qarvex_stop_display() {
  if [[ -n "$qarvex_xvfb_pid" ]]; then
    kill "$qarvex_xvfb_pid" 2>/dev/null && wait "$qarvex_xvfb_pid" 2>/dev/null
    qarvex_xvfb_pid=""
  fi
  [[ -n "$qarvex_xvfb_dir" ]] && rm -rf "$qarvex_xvfb_dir"
  qarvex_xvfb_dir=""
  return 0
}
