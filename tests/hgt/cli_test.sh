#!/usr/bin/env bash
# srtm classify, srtm block and qlphost block on the real tile alone in a folder:
# outputs, exit codes and the served sample at 57.7 N, 11.9 E.
#   cli_test.sh SRTM QLPHOST N57E011.hgt [RUNNER]   (RUNNER: wine-run.sh in the 32-bit world)
set -uo pipefail
srtm=$1 qlphost=$2 tile=$3 runner=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/tiles"
cp "$tile" "$work/tiles/N57E011.hgt"
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# SRTM_TEST_FAIL_AFTER=CODE: every command exits with CODE after its run (see
# tests/support/check_command.cmake), and every check of an exit code must fail.
run() { $runner "$@"; local code=$?; return "${SRTM_TEST_FAIL_AFTER:-$code}"; }
# expect CODE [-m REGEX] CMD...: runs CMD, keeps its output in $out, checks its exit
# code and, with -m, that its output tells what failed.
expect() {
  local want=$1 message=
  shift
  if [ "$1" = -m ]; then message=$2; shift 2; fi
  out=$(run "$@" 2>&1); local got=$?
  [ "$got" = "$want" ] || fail "exit $got, wanted $want: $* -> $out"
  [ -z "$message" ] || grep -qE -- "$message" <<<"$out" || fail "no '$message' in the output of $* -> $out"
}
# The signed little-endian sample at block row I, column J of a block file.
sample() { od -An -t d2 -j $((2 * ($2 * 320 + $3))) -N 2 "$1" | tr -d ' '; }

expect 0 "$srtm" classify "$work/tiles/N57E011.hgt"
grep -q "kind 3 (SRTM-3)" <<<"$out" || fail "classify kind: $out"
grep -q "latitude 57, longitude 11" <<<"$out" || fail "classify corner: $out"
head -c 100 "$tile" > "$work/N10E010.hgt"
expect 3 -m "100 bytes is the size of no tile" "$srtm" classify "$work/N10E010.hgt"
grep -q "latitude 10, longitude 10" <<<"$out" || fail "classify corner of a wrong-size tile: $out"
expect 3 -m "missing.hgt: kind 0 \\(not a tile\\)" "$srtm" classify "$work/missing.hgt"
expect 2 -m "usage: srtm classify" "$srtm" classify
expect 0 "$srtm" classify --help

# 57.7 N 11.9 E: block 507532000 (block row 553, column 720), row 280, column 200.
expect 0 "$srtm" block "$work/tiles/N57E011.hgt" 507532000 -o "$work/s.raw"
grep -q "size: 433200 x 217200" <<<"$out" || fail "block map size: $out"
grep -q "samples per degree: 1200 (latitude), 1200 (longitude)" <<<"$out" || fail "block samples per degree: $out"
grep -q "south -90.000416667, west -180.000416667, north 90.999583333, east 180.999583333" <<<"$out" ||
  fail "block edges: $out"
[ "$(stat -c %s "$work/s.raw")" = 204800 ] || fail "block file size"
[ "$(sample "$work/s.raw" 280 200)" = 14 ] || fail "13 m served as $(sample "$work/s.raw" 280 200), not 14"
expect 0 "$srtm" block "$work/tiles/N57E011.hgt" 507532000 --sea off --fill off -o "$work/off.raw"
[ "$(sample "$work/off.raw" 280 200)" = 14 ] || fail "sea off: 13 m not 14"
expect 0 "$srtm" block "$work/tiles/N57E011.hgt" 507532000 --level 13 -o "$work/high.raw"
[ "$(sample "$work/high.raw" 280 200)" = 0 ] || fail "sea level 13: 13 m not sea"
# East of the tile (N57E012 missing): sea with the sea on, -1 with it off.
expect 0 "$srtm" block "$work/tiles/N57E011.hgt" 507532100 -o "$work/east.raw"
[ "$(sample "$work/east.raw" 280 200)" = 0 ] || fail "missing tile with the sea on"
expect 0 "$srtm" block "$work/tiles/N57E011.hgt" 507532100 --sea off -o "$work/east.raw"
[ "$(sample "$work/east.raw" 0 0)" = -1 ] || fail "missing tile with the sea off"

expect 2 -m "usage: srtm block" "$srtm" block "$work/tiles/N57E011.hgt" 507532000
expect 2 -m "'5075x' is not a 32-bit block number" "$srtm" block "$work/tiles/N57E011.hgt" 5075x -o "$work/x.raw"
expect 2 -m "'99999999999' is not a 32-bit block number" "$srtm" block "$work/tiles/N57E011.hgt" 99999999999 -o "$work/x.raw"
expect 2 -m "usage: srtm block" "$srtm" block "$work/tiles/N57E011.hgt" 1 --sea maybe -o "$work/x.raw"
expect 2 -m "--level wants whole metres, not '1.5'" "$srtm" block "$work/tiles/N57E011.hgt" 1 --level 1.5 -o "$work/x.raw"
expect 3 -m "N10E010.hgt is not an SRTM tile" "$srtm" block "$work/N10E010.hgt" 1 -o "$work/x.raw"
# The system's reason: natively in English; under Wine in the prefix's language.
no_folder="No such file or directory"
[ -z "$runner" ] || no_folder=""
expect 4 -m "x.raw: $no_folder" "$srtm" block "$work/tiles/N57E011.hgt" 1 -o "$work/no/such/folder/x.raw"
[ ! -e "$work/x.raw" ] || fail "a failed block command left an output file"
expect 0 "$srtm" block --help

# The output rule, as a user meets it. -o -: the samples alone on standard output, the
# map information on standard error.
run "$srtm" block "$work/tiles/N57E011.hgt" 507532000 -o - >"$work/stdout.raw" 2>"$work/stderr.txt"
code=$?
[ "$code" = 0 ] || fail "block -o -: exit $code"
cmp -s "$work/stdout.raw" "$work/s.raw" || fail "block -o -: standard output is not the block alone"
grep -q "size: 433200 x 217200" "$work/stderr.txt" || fail "block -o -: no map information on standard error"
# A folder given as the output is refused, and nothing is left beside it.
cp "$work/s.raw" "$work/keep.raw"
before=$(ls -A "$work" | tr '\n' ' ')
expect 4 "$srtm" block "$work/tiles/N57E011.hgt" 1 -o "$work/tiles"
[ "$(ls -A "$work" | tr '\n' ' ')" = "$before" ] || fail "a failed write left files behind"
if [ -z "$runner" ]; then
  # Natively: a device that refuses the data is reported and never removed; a named pipe
  # gets the data and stays; a symbolic link stays, and the file it names is replaced.
  if [ -w /dev/full ]; then
    expect 4 "$srtm" block "$work/tiles/N57E011.hgt" 507532000 -o /dev/full
    [ -c /dev/full ] || fail "srtm block removed /dev/full after failing to write it"
  fi
  mkfifo "$work/pipe"
  cat "$work/pipe" >"$work/from-pipe.raw" &
  expect 0 "$srtm" block "$work/tiles/N57E011.hgt" 507532000 -o "$work/pipe"
  wait
  [ -p "$work/pipe" ] || fail "the named pipe is gone"
  cmp -s "$work/from-pipe.raw" "$work/s.raw" || fail "the named pipe did not get the block"
  ln -s keep.raw "$work/link.raw"
  expect 0 "$srtm" block "$work/tiles/N57E011.hgt" 507532100 --sea off -o "$work/link.raw"
  [ -L "$work/link.raw" ] || fail "the symbolic link was replaced by a file"
  cmp -s "$work/keep.raw" "$work/east.raw" || fail "the file the link names was not replaced"
fi

# The same block through the plug-in and the host's messages, settings at load.
expect 0 "$qlphost" block "$work/tiles/N57E011.hgt" 507532000 -o "$work/q.raw"
grep -q "SRTM-3 N57E011.hgt" <<<"$out" || fail "qlphost display name: $out"
grep -q "size: 433200 x 217200" <<<"$out" || fail "qlphost map size: $out"
grep -q "2012 -> 1" <<<"$out" || fail "qlphost block answer: $out"
cmp -s "$work/s.raw" "$work/q.raw" || fail "qlphost and srtm serve different blocks"
expect 3 -m "no map source opens .*N10E010.hgt" "$qlphost" block "$work/N10E010.hgt" 1 -o "$work/x.raw"
expect 2 -m "usage: qlphost" "$qlphost" block "$work/tiles/N57E011.hgt" 1
expect 0 "$qlphost" block --help

[ "$failures" = 0 ] && echo "all CLI checks passed"
exit $((failures > 0))
