# Sourced by scripts/bench-*.sh: each bench writes what it printed into its own section of
# docs/performance.md, between the markers "<!-- scripts/bench-NAME.sh: begin -->" and
# "<!-- ...: end -->", headed by the date, the machine, the load average and the method, so that
# every figure there is one a script printed. BENCH_DOC=0 leaves the file alone.
bench_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bench_load() { cut -d' ' -f1-3 /proc/loadavg; }
bench_load_before="$(bench_load)"

# bench_cli_setup DEFAULT-ROUNDS [CLI] [ROUNDS]: the tolven-cli to time (absolute), the rounds,
# mkfs.fat, the tools' settings, and a scratch folder (removed at exit) as the working folder.
bench_cli_setup() {
  cli="${2:-build/native/tolven-cli}"
  rounds="${3:-$1}"
  [ -x "$cli" ] || { echo "tolven-cli not found at $cli (build first)" >&2; exit 1; }
  cli="$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")"
  mkfs="$(command -v mkfs.fat || echo /usr/sbin/mkfs.fat)"
  export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8
  work="$(mktemp -d "${TMPDIR:-/tmp}/tolven-bench.XXXXXX")"
  trap 'rm -rf "$work"' EXIT
  cd "$work"
}

# bench_turns ROUNDS T P: runs the commands T and P (each prints microseconds) in turns, ROUNDS
# times; sets bench_best_t, bench_best_p (microseconds) and bench_median (of the per-round T/P).
bench_turns() {
  local rounds="$1" t="$2" p="$3" ratios=() a b
  bench_best_t="" bench_best_p=""
  for _ in $(seq "$rounds"); do
    a=$($t); b=$($p)
    [ -z "$bench_best_t" ] || [ "$a" -lt "$bench_best_t" ] && bench_best_t=$a
    [ -z "$bench_best_p" ] || [ "$b" -lt "$bench_best_p" ] && bench_best_p=$b
    ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.3f", a / b }')")
  done
  bench_median=$(printf '%s\n' "${ratios[@]}" | sort -n |
    awk '{ r[NR] = $1 } END { print r[int((NR + 1) / 2)] }')
}

# bench_section SCRIPT-NAME METHOD-TEXT OUTPUT-FILE [fence]: replaces the script's section with the
# method, the run's circumstances and the output (in a code block with "fence").
bench_section() {
  local name="$1" method="$2" output="$3" fence="${4:-}"
  [ "${BENCH_DOC:-1}" = 0 ] && return 0
  local doc="$bench_root/docs/performance.md" begin="<!-- scripts/$1: begin -->"
  local end="<!-- scripts/$1: end -->" body cpu
  cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
  body=$(mktemp)
  {
    echo "$method"
    echo
    echo "Run on $(date +%Y-%m-%d) on $(nproc) cores (${cpu:-unknown CPU}), load average" \
      "$bench_load_before before and $(bench_load) after:"
    echo
    [ -n "$fence" ] && echo '```'
    cat "$output"
    [ -n "$fence" ] && echo '```'
  } > "$body"
  grep -qxF "$begin" "$doc" || printf '\n%s\n%s\n' "$begin" "$end" >> "$doc"
  awk -v b="$begin" -v e="$end" -v f="$body" '
    $0 == b { print; while ((getline line < f) > 0) print line; skip = 1; next }
    $0 == e { skip = 0 }
    !skip { print }' "$doc" > "$doc.new" && mv "$doc.new" "$doc"
  rm -f "$body"
  echo "(written into docs/performance.md)"
}
