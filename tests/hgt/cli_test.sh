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
# shellcheck source=tests/support/cli_expect.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/cli_expect.sh"
# The signed little-endian sample at block row I, column J of a block file.
sample() { od -An -t d2 -j $((2 * ($2 * 320 + $3))) -N 2 "$1" | tr -d ' '; }

# classify: several files at once, the kind in words, every non-tile with its reason;
# downloads pointed to srtm import; corners outside the globe refused.
head -c 100 "$tile" > "$work/N10E010.hgt"
cp "$tile" "$work/N99E999.hgt" && cp "$tile" "$work/N57E011.SRTMGL3.hgt" && cp "$tile" "$work/N57E011.hgt.zip"
expect 3 "$srtm" classify "$work/tiles/N57E011.hgt" "$work/N10E010.hgt" "$work/missing.hgt" "$work/N99E999.hgt" \
  "$work/N57E011.SRTMGL3.hgt" "$work/N57E011.hgt.zip"
for m in "N57E011.hgt: SRTM-3 tile, 1201 x 1201 samples 3 arc-seconds apart, 57 N to 58 N, 11 E to 12 E" \
         "N10E010.hgt: not a tile: 100 bytes is the size of no tile" "missing.hgt: not a tile: no such file" \
         "N99E999.hgt: not a tile: latitude 99 is outside the globe" \
         "N57E011.SRTMGL3.hgt: not a tile: a downloaded name .*: N57E011.hgt\\); srtm import" \
         "N57E011.hgt.zip: not a tile: an archive; srtm import"; do
  has "$m" classify
done
expect 0 -m '^\{"file":"[^"]*N57E011.hgt","tile":true,"kind":"SRTM-3","south":57,"west":11,"samples":1201' \
  "$srtm" classify --json "$work/tiles/N57E011.hgt"
expect 3 -m '"tile":false,"problem":"an archive","import":true\}$' "$srtm" classify --json "$work/N57E011.hgt.zip"
expect 3 -m "N99E999.hgt: not a tile: latitude 99" "$srtm" block "$work/N99E999.hgt" 1 -o "$work/x.raw"

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
# --at: the block holding a point, its number, and what is served there (the same bytes
# as block 507532000); --opt=value and options after the operand.
expect 0 -m "57.7 N 11.9 E: row 280, column 200 of the block .*served 14 \(height 13 m\)" \
  "$srtm" block "$work/tiles/N57E011.hgt" -o "$work/at.raw" --at=57.7,11.9
has "block 507532000: block row 553, block column 720" "--at 57.7,11.9"
cmp -s "$work/at.raw" "$work/s.raw" || fail "--at 57.7,11.9 did not serve block 507532000"
# No data is said on standard error; the block is still written.
expect 0 -m "block 1 \(block row 0, block column 0\) lies outside the map \(block rows 0 to 678, block columns 1 to 1354\): it is all no data" \
  "$srtm" block "$work/tiles/N57E011.hgt" 1 -o "$work/nd.raw"
expect 0 -m "no tile behind block 212104300 \(S34E151.hgt not in .* as SRTM-3 tiles\)" \
  "$srtm" block "$work/tiles/N57E011.hgt" --at -33.9,151.2 -o "$work/nd.raw"
expect 0 -m "part of block 507531700 has no tile behind it \(N57E010.hgt not in" \
  "$srtm" block "$work/tiles/N57E011.hgt" --at 57.7,11.01 -o "$work/nd.raw"
! grep -q "no tile\|outside" <<<"$(run "$srtm" block "$work/tiles/N57E011.hgt" 507532000 -o "$work/nd.raw" 2>&1)" ||
  fail "a block inside the tile said to have no data"

# Every wrong argument named in one line, then the short usage (never the whole help).
for args in "507532000|no output given" "5075x -o x.raw|BLOCK is a whole 32-bit number, not '5075x'" \
            "99999999999 -o x.raw|BLOCK is a whole 32-bit number, not '99999999999'" "1 --sea maybe -o x.raw|--sea wants on or off, not 'maybe'" \
            "1 --level 1.5 -o x.raw|--level wants a whole number from -32768 to 32767, not '1.5'" \
            "1 --at 57,11 -o x.raw|give BLOCK or --at, not both" "--at 95,11 -o x.raw|--at wants LAT,LON" \
            "1 -o|-o wants a value" "1 -o x.raw --bogus|unknown option '--bogus'"; do
  IFS='|' read -r a m <<<"$args"
  # shellcheck disable=SC2086
  usage_error block "$m" "$work/tiles/N57E011.hgt" $a
done
expect 3 -m "N10E010.hgt: not a tile: 100 bytes" "$srtm" block "$work/N10E010.hgt" 1 -o "$work/x.raw"
# The system's reason: natively in English; under Wine in the prefix's language.
no_folder="No such file or directory"
[ -z "$runner" ] || no_folder=""
expect 4 -m "x.raw: $no_folder" "$srtm" block "$work/tiles/N57E011.hgt" 507532000 -o "$work/no/such/folder/x.raw"
[ ! -e "$work/x.raw" ] || fail "a failed block command left an output file"
expect 0 "$srtm" block --help

# The output rule, as a user meets it (its other shapes: tests/tools/shapes_test.sh).
# -o -: the samples alone on standard output, the map information on standard error.
run "$srtm" block "$work/tiles/N57E011.hgt" 507532000 -o - >"$work/stdout.raw" 2>"$work/stderr.txt"
code=$?
[ "$code" = 0 ] || fail "block -o -: exit $code"
cmp -s "$work/stdout.raw" "$work/s.raw" || fail "block -o -: standard output is not the block alone"
grep -q "size: 433200 x 217200" "$work/stderr.txt" || fail "block -o -: no map information on standard error"
# A folder given as the output is refused, and nothing is left beside it.
before=$(ls -A "$work" | tr '\n' ' ')
expect 4 "$srtm" block "$work/tiles/N57E011.hgt" 1 -o "$work/tiles"
[ "$(ls -A "$work" | tr '\n' ' ')" = "$before" ] || fail "a failed write left files behind"

# The same block through the plug-in and the host's messages, settings at load.
expect 0 "$qlphost" block "$work/tiles/N57E011.hgt" 507532000 -o "$work/q.raw"
grep -q "SRTM-3 N57E011.hgt" <<<"$out" || fail "qlphost display name: $out"
grep -q "size: 433200 x 217200" <<<"$out" || fail "qlphost map size: $out"
grep -q "2012 -> 1" <<<"$out" || fail "qlphost block answer: $out"
cmp -s "$work/s.raw" "$work/q.raw" || fail "qlphost and srtm serve different blocks"
expect 3 -m "no map source opens .*N10E010.hgt" "$qlphost" block "$work/N10E010.hgt" 1 -o "$work/x.raw"
expect 2 -m "usage: qlphost" "$qlphost" block "$work/tiles/N57E011.hgt" 1
expect 0 "$qlphost" block --help

finish "all CLI checks passed"
