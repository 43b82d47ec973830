#!/usr/bin/env bash
# Runs the fuzz targets of a libFuzzer build (the `fuzz` preset), each from its seed
# corpus in fuzz/corpus/<target>/, and prints the executions of each. New inputs do not
# go into the repository; a crash, a leak, a sanitizer report or a timeout fails the run
# and leaves the input beside the target's log.
#
#   scripts/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET]
#       every target for a bounded time (CI); logs and failing inputs in BUILD/artifacts/
#   scripts/fuzz.sh --long BUILD_DIR LOG_DIR [--jobs N] TARGET=RUNS...
#       a campaign of hours: each named target until it has tried RUNS inputs, N targets
#       at a time (default 1); its log, the inputs it found (LOG_DIR/corpus-TARGET) and
#       any failing input in LOG_DIR, and at the end one line per target in
#       LOG_DIR/summary.txt (also printed).
#       e.g. scripts/fuzz.sh --long build/fuzz /tmp/campaign --jobs 2 paths=10000000
#       A campaign runs niced beside other work: an input counts as hung after 120 s of
#       the clock (SRTM_FUZZ_TIMEOUT), not the 20 s of the bounded runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The longest input of each target: paths run past the 260-byte buffer, readers past
# their headers.
declare -A maxlen=([xem_decode]=4096 [xem_reader]=8192 [codec_round_trip]=20000 [paths]=1400 [map_source]=1024 [archive]=16384)
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# run TARGET BUILD OUT_DIR CORPUS_DIR LIMIT...: one libFuzzer run; prints its line.
run() {
  local target=$1 build=$2 out=$3 corpus=$4
  shift 4
  local log="$out/$target.log" start=$SECONDS
  mkdir -p "$corpus"
  if "$build/bin/fuzz_$target" "$corpus" "$root/fuzz/corpus/$target" "$@" -max_len="${maxlen[$target]}" \
       -timeout="$timeout" -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/$target-" >"$log" 2>&1; then
    local runs seconds
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
    seconds=$((SECONDS - start))
    echo "fuzz $target: $runs executions in $seconds s ($((runs * 60 / (seconds > 0 ? seconds : 1))) a minute)," \
         "$(ls "$corpus" | wc -l) new corpus inputs, no failure"
  else
    echo "fuzz $target: FAILED (log: $log)"
    grep -E 'ERROR|SUMMARY|Test unit written|==[0-9]+==' "$log" | head -20 || true
    return 1
  fi
}

timeout=20
if [ "${1:-}" = --long ]; then
  timeout=${SRTM_FUZZ_TIMEOUT:-120}
  build=${2:?build folder}
  out=${3:?log folder}
  shift 3
  jobs=1
  if [ "${1:-}" = --jobs ]; then
    jobs=$2
    shift 2
  fi
  [ $# -gt 0 ] || { echo "fuzz.sh --long: name at least one TARGET=RUNS" >&2; exit 2; }
  mkdir -p "$out"
  echo "fuzz campaign from $(date -u '+%F %T') UTC: $*" | tee "$out/summary.txt"
  for entry in "$@"; do
    target=${entry%%=*}
    runs=${entry#*=}
    [ -n "${maxlen[$target]:-}" ] && [[ $runs =~ ^[0-9]+$ ]] || { echo "fuzz.sh: not TARGET=RUNS: $entry" >&2; exit 2; }
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    echo "$(date -u +%T) fuzz $target: started, $runs inputs"
    (run "$target" "$build" "$out" "$out/corpus-$target" -runs="$runs" >"$out/$target.result" 2>&1 || true
     cat "$out/$target.result" >>"$out/summary.txt"
     echo "$(date -u +%T) $(head -1 "$out/$target.result")") &
  done
  wait
  echo "fuzz campaign ended $(date -u '+%F %T') UTC" | tee -a "$out/summary.txt"
  ! grep -q FAILED "$out/summary.txt"
  exit
fi

build=${1:-$root/build/fuzz}
seconds=${2:-${SRTM_FUZZ_SECONDS:-60}}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/artifacts"
passed=0
failed=0
for target in xem_decode xem_reader codec_round_trip paths map_source archive; do
  if run "$target" "$build" "$build/artifacts" "$scratch/$target" -max_total_time="$seconds"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
