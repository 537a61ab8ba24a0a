#!/usr/bin/env bash
# Fuzzes the portable parsers and builders (tools/fuzz): builds the targets
# with clang, libFuzzer, AddressSanitizer and UBSan into build/fuzz when
# needed, then runs them one after the other.
#
#   tools/fuzz.sh SECONDS        SECONDS in all, shared evenly by the targets
#   tools/fuzz.sh --each SECONDS SECONDS for every target (the test command's smoke run)
#   tools/fuzz.sh ... [TARGET...] only the targets named (list_pages, url, ...)
#
# The corpora grow in build/fuzz/corpus/<target> (seeded from the demo
# portal's pages and the kept inputs in tools/fuzz/seeds); whatever makes a
# target fail (crash, sanitizer report, failed check, hang, leak) lands in
# build/fuzz/artifacts/<target>/. Prints executions per target and the
# failures; exits non-zero when any target failed.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$here/build/fuzz"

usage() { echo "usage: tools/fuzz.sh SECONDS | --each SECONDS [TARGET...]" >&2; exit 2; }
each=""
total=""
case "${1:-}" in
  --each) each="${2:-}"; shift 2 || usage ;;
  ''|-*) usage ;;
  *) total="$1"; shift ;;
esac
[[ "${each}${total}" =~ ^[0-9]+$ ]] || usage

cmake -S "$here/tools/fuzz" -B "$out" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
if ! cmake --build "$out" -j "${QARVEX_JOBS:-2}" --target fuzzers >"$out/build.log" 2>&1; then
  cat "$out/build.log" >&2
  exit 1
fi

read -r -a targets < <(tr ';' ' ' <"$out/targets.txt")
if (($#)); then targets=("$@"); fi
if [[ -n "$total" ]]; then
  each=$((total / ${#targets[@]}))
  ((each >= 1)) || each=1
fi

# Seeds are made once; the corpora keep what the runs found.
for t in "${targets[@]}"; do
  [[ -d "$out/corpus/$t" ]] || { python3 "$here/tools/fuzz/make_seeds.py" "$out/corpus"; break; }
done
# The kept regression inputs always run first.
for t in "${targets[@]}"; do
  [[ -d "$here/tools/fuzz/seeds/$t" ]] || continue
  for f in "$here/tools/fuzz/seeds/$t"/*; do cp "$f" "$out/corpus/$t/kept-$(basename "$f")"; done
done

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/tools/fuzz/lsan.supp}"
echo "fuzzing ${#targets[@]} targets for $each s each"
printf '%-16s %12s %10s  %s\n' target executions exec/s result
failed=0
for t in "${targets[@]}"; do
  exe="$out/fuzz_$t"
  [[ -x "$exe" ]] || { echo "no target $t" >&2; failed=1; continue; }
  artifacts="$out/artifacts/$t"
  mkdir -p "$artifacts" "$out/corpus/$t"
  log="$out/logs/$t.log"
  mkdir -p "$out/logs"
  status=0
  "$exe" "$out/corpus/$t" -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  if ((status == 0)); then
    result=ok
  else
    failed=1
    found="$(grep -o "Test unit written to .*" "$log" | sed 's/Test unit written to //' | tail -1)"
    what="$(grep -m1 -E "ERROR: |check failed|runtime error" "$log" || true)"
    result="FAILED: ${what:-exit $status} ${found:+(input $found)}"
  fi
  printf '%-16s %12s %10s  %s\n' "$t" "${runs:-0}" "${rate:-0}" "$result"
done
if ((failed)); then
  echo "fuzzing found failures: see build/fuzz/logs and build/fuzz/artifacts" >&2
fi
exit $failed
