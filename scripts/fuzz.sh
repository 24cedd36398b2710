#!/usr/bin/env bash
# The libFuzzer targets of tests/fuzz, built in a TOLVEN_FUZZ build folder.
#   scripts/fuzz.sh run BUILD [SECONDS]  fuzz every target for SECONDS (default 180) each, one at a
#                                        time, and print executions, exec/s and coverage
#   scripts/fuzz.sh check BUILD          run every target once over its seeds and over every kept
#                                        reproducer in tests/fuzz/regressions/<target>/
# TARGETS="load bootsector" limits either mode to some targets.
set -u
mode="${1:-}"; build="${2:-}"; seconds="${3:-180}"
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "$build" ] || { [ "$mode" != run ] && [ "$mode" != check ]; }; then
  echo "usage: $0 run|check BUILD [SECONDS]" >&2
  exit 2
fi
build="$(cd "$build" && pwd)"
bin="$build/tests/fuzz"
# A smaller quarantine keeps each process near 200 MB on a machine shared with other builds.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=64}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

targets="${TARGETS:-}"
if [ -z "$targets" ]; then
  for exe in "$bin"/fuzz_*; do
    [ -x "$exe" ] && targets="$targets ${exe##*/fuzz_}"
  done
fi
[ -n "$targets" ] || { echo "no fuzz targets in $bin" >&2; exit 1; }

status=0
for t in $targets; do
  exe="$bin/fuzz_$t"
  seeds="$build/seeds/$t"
  regressions="$root/tests/fuzz/regressions/$t"
  if [ "$mode" = check ]; then
    inputs=()
    for f in "$seeds"/* "$regressions"/*; do [ -f "$f" ] && inputs+=("$f"); done
    if [ ${#inputs[@]} -eq 0 ]; then echo "fuzz_$t: no inputs"; status=1; continue; fi
    if "$exe" -timeout=20 -rss_limit_mb=2048 "${inputs[@]}" >"$build/check-$t.log" 2>&1; then
      echo "fuzz_$t: ${#inputs[@]} inputs passed"
    else
      echo "fuzz_$t: FAILED (log: $build/check-$t.log)"
      tail -40 "$build/check-$t.log"
      status=1
    fi
    continue
  fi
  corpus="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  log="$build/fuzz-$t.log"
  echo "=== fuzz_$t for ${seconds}s (log: $log)"
  # The new corpus comes first (libFuzzer adds to it), the seeds and reproducers after it.
  dirs=("$corpus" "$seeds")
  [ -d "$regressions" ] && dirs+=("$regressions")
  # Slow inputs (thousands of tiny clusters, one read call each) are picked less often.
  nice -n 10 "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -dict="$root/tests/fuzz/fat12.dict" -artifact_prefix="$artifacts/" -print_final_stats=1 \
    -entropic_scale_per_exec_time=1 "${dirs[@]}" >"$log" 2>&1
  rc=$?
  last="$(grep -E '^#[0-9]+' "$log" | tail -1)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
  cov="$(echo "$last" | grep -o 'cov: [0-9]*')"
  ft="$(echo "$last" | grep -o 'ft: [0-9]*')"
  if [ $rc -eq 0 ]; then
    echo "fuzz_$t: ${runs:-?} executions, ${rate:-?} exec/s, $cov, $ft, no findings"
  else
    echo "fuzz_$t: FINDING (exit $rc), artifacts in $artifacts"
    grep -E 'ERROR|invariant failed|runtime error|SUMMARY' "$log" | head -5
    status=1
  fi
done
exit $status
