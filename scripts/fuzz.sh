#!/usr/bin/env bash
# Runs every fuzz target of a libFuzzer build (the `fuzz` preset) for a bounded time,
# starting from its seed corpus in fuzz/corpus/<target>/, and prints the executions of
# each. New inputs go to a scratch folder, not into the repository; a crash, a leak, a
# sanitizer report or a timeout fails the run and leaves the input in BUILD/artifacts/.
#
#   scripts/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/fuzz}
seconds=${2:-${SRTM_FUZZ_SECONDS:-60}}

# target:max_len -- paths run past the 260-byte buffer, readers past their headers.
targets=(xem_decode:4096 xem_reader:8192 codec_round_trip:20000 paths:1400 map_source:1024)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/artifacts"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
passed=0
failed=0
for entry in "${targets[@]}"; do
  target=${entry%%:*}
  maxlen=${entry##*:}
  mkdir -p "$scratch/$target"
  log="$build/artifacts/$target.log"
  if "$build/bin/fuzz_$target" "$scratch/$target" "$root/fuzz/corpus/$target" \
       -max_total_time="$seconds" -max_len="$maxlen" -timeout=20 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    corpus=$(ls "$scratch/$target" | wc -l)
    echo "fuzz $target: $runs executions in ${seconds} s, $corpus new corpus inputs, no failure"
    passed=$((passed + 1))
  else
    echo "fuzz $target: FAILED (log: $log)"
    grep -E 'ERROR|SUMMARY|Test unit written|==[0-9]+==' "$log" | head -20 || true
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
