#!/usr/bin/env bash
# srtm info, verify, decode and render as their users read them, and the conventions of
# every command: exit codes and messages together.
#   cli_test.sh SRTM N57E011.hgt [RUNNER]   (RUNNER: wine-run.sh in the 32-bit world)
set -uo pipefail
srtm=$1 tile=$2 runner=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/support/cli_expect.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/cli_expect.sh"
cd "$work" || exit 1
mkdir t v off on vo vn
cp "$tile" t/N57E011.hgt && cp "$tile" v/N57E011.hgt
# Voids in the second copy: rows 100 to 139, columns 200 to 259 (as stored, north first).
for r in $(seq 100 139); do
  printf '\200\000%.0s' $(seq 60) | dd of=v/N57E011.hgt bs=1 seek=$((2 * (r * 1201 + 200))) conv=notrunc status=none
done
expect 0 "$srtm" compress t -o off --fill off --quiet
expect 0 "$srtm" compress v -o vo --fill off --quiet
expect 0 "$srtm" compress v -o vn --quiet

# info decodes every block: a file zeroed from byte 70000 (a power cut) and one with a
# byte flipped at 60000 fail it as they fail decode, with the block named.
cp off/N57E011.xem zeroed.xem && cp off/N57E011.xem flipped.xem
size=$(stat -c %s zeroed.xem)
head -c $((size - 70000)) /dev/zero | dd of=zeroed.xem bs=1 seek=70000 conv=notrunc status=none
byte=$(od -An -t u1 -j 60000 -N 1 flipped.xem | tr -d ' ')
printf "\\$(printf %03o $((byte ^ 1)))" | dd of=flipped.xem bs=1 seek=60000 conv=notrunc status=none
for f in zeroed flipped; do
  expect 3 -m "srtm info: $f.xem: damaged: block \([0-9]+, [0-9]+\), [0-9]+ bytes at offset [0-9]+: .* \([0-9]+ of 100 blocks damaged\)" \
    "$srtm" info "$f.xem"
  has "$f.xem: XEM file of the SRTM-3 tile N57E011, $size bytes, DAMAGED" "info $f"
  expect 3 -m "corrupt: block" "$srtm" decode "$f.xem" -o "$f.raw"
done
expect 0 -m "off/N57E011.xem: XEM file of the SRTM-3 tile N57E011, [0-9]+ bytes, sound" "$srtm" info off/N57E011.xem
has "area +57 N to 58 N, 11 E to 12 E" "info area"
has "samples +1200 x 1200, 3 arc-seconds apart" "info spacing"
expect 0 -m "voids +2400 samples without data \(written with the fill off\)" "$srtm" info vo/N57E011.xem
# --json: one object a line per file, the damaged and the missing ones with their problem.
expect 3 "$srtm" info --json off/N57E011.xem zeroed.xem missing.xem
[ "$(wc -l <<<"$out")" = 3 ] || fail "info --json of 3 files: $out"
has '^\{"file":"off/N57E011.xem","ok":true,"bytes":[0-9]+,"kind":"SRTM-3","south":57,"west":11,"width":1200,' "info --json"
has '^\{"file":"zeroed.xem","ok":false,.*"damaged":[0-9]+,"problem":"block \(' "info --json damaged"
has '^\{"file":"missing.xem","ok":false,"problem":"not found: ' "info --json missing"

# verify compares with what compress writes and prints it; the fill is the file's
# unless given, and a file written the other way is named so, not as equal samples.
expect 0 -m "fill off \(the file keeps them\)" "$srtm" verify vo/N57E011.xem v/N57E011.hgt
has "1437600 samples equal, 0 voids filled, 2400 voids kept, 0 different" "verify fill off"
expect 0 -m "fill on \(the file fills the tile's voids\)" "$srtm" verify vn/N57E011.xem v/N57E011.hgt
expect 1 -m "stored -32768, expected -?[0-9]+ \(a void of the tile, filled as compress fills it\)" \
  "$srtm" verify vo/N57E011.xem v/N57E011.hgt --fill=on
has "note: the file keeps every void of the tile: it was written with the fill off" "verify --fill on"
grep -q "stored -32768, expected -32768" <<<"$out" && fail "verify lists an equal void as a difference: $out"
expect 1 -m "stored -?[0-9]+, expected -32768 \(a void of the tile, kept\)" \
  "$srtm" verify vn/N57E011.xem v/N57E011.hgt --fill off
# Several files, each against the tile of its corner; a tile without its file named.
expect 0 "$srtm" verify --json vo/N57E011.xem vn/N57E011.xem v/N57E011.hgt
has '^\{"file":"vo/N57E011.xem","tile":"v/N57E011.hgt","fill":"off","matches":true,"equal":1437600,"filled":0,"kept":2400' "verify --json"
has '^\{"file":"vn/N57E011.xem",.*"fill":"on","matches":true' "verify --json second file"
cp "$tile" N10E010.hgt
expect 3 -m "N10E010.hgt: no XEM file of this tile given" "$srtm" verify off/N57E011.xem t/N57E011.hgt N10E010.hgt
expect 3 -m "srtm verify: zeroed.xem: corrupt: block" "$srtm" verify zeroed.xem t/N57E011.hgt

# decode refuses what it does not write; render: the order of the region, no data, limits.
expect 2 -m "decode writes .hgt tiles and .raw grids, not .tif files" "$srtm" decode off/N57E011.xem -o out.tif
[ ! -e out.tif ] || fail "decode -o out.tif wrote a file"
expect 0 -m "warning: the region holds no data .*; --region takes S,W,N,E and --te W,S,E,N \(GDAL's order\)" \
  "$srtm" render t/N57E011.hgt -o a.png --region 11.5,57.5,12,58
expect 0 -m "a.png: 601 x 601 pixels .* no data 0.[0-9]%" "$srtm" render t/N57E011.hgt -o a.png --te 11.5 57.5 12 58
expect 2 -m "the region holds 408001 x 144001 = 58752552001 samples, more than the 67108864 a picture is drawn from \(whatever --scale\)" \
  "$srtm" render t/N57E011.hgt -o a.png --region -60,-170,60,170 --scale 8

# compress converts exactly the tiles named, a folder's tiles of both kinds, or with
# --like the wizard's rule; it makes its output folder, says what a folder without tiles
# holds, counts the files there under --skip-existing as done, and names each failure.
s='[/\\]'
mkdir both dl dl/sub empty
cp t/N57E011.hgt both/N57E012.hgt && cp t/N57E011.hgt both/N58E011.hgt && cp t/N57E011.hgt both/N99E999.hgt
head -c 25934402 /dev/zero >both/N10E010.hgt
expect 0 "$srtm" compress both/N57E012.hgt both/N10E010.hgt -o named/deep --list --jobs 1
has "^named${s}deep${s}N10E010.xem$" "compress --list"
has "^compress: 2 tiles converted, 0 already there, 0 failed -> named${s}deep${s} in " "compress summary"
[ "$(ls named/deep | tr '\n' ' ')" = "N10E010.xem N57E012.xem " ] || fail "compress of two named tiles: $(ls named/deep)"
expect 0 -m "both${s}N99E999.hgt passed over: not a tile: latitude 99 is outside the globe" \
  "$srtm" compress both -o folder --quiet
has "^compress: 3 tiles converted, 0 already there, 0 failed -> folder${s}$" "compress of a folder of both kinds"
grep -qiE "result|\.xem$" <<<"$out" && fail "compress printed a code or the files unasked: $out"
expect 0 -m "^compress: 2 tiles converted" "$srtm" compress --like both/N58E011.hgt -o like --quiet
[ "$(ls like | tr '\n' ' ')" = "N57E012.xem N58E011.xem " ] || fail "compress --like: $(ls like)"
expect 3 -m "N99E999.hgt: not a tile: latitude 99 is outside the globe" "$srtm" compress both/N99E999.hgt -o x
cp t/N57E011.hgt dl/sub/ && echo zip >dl/N57E011.SRTMGL1.hgt.zip && echo text >dl/notes.txt
expect 3 -m "no tile in dl \(a tile is named like N57E011.hgt" "$srtm" compress dl empty -o x
has "dl holds 1 sub-folder with tiles: sub${s} \(name them: srtm compress dl${s}sub${s} \.\.\.\)" "compress of downloads"
has "dl holds 1 download: N57E011.SRTMGL1.hgt.zip \(srtm import makes tiles of downloads\)" "compress of downloads"
has "dl holds 1 other entry: notes.txt" "compress of downloads"
has "empty is empty" "compress of an empty folder"
[ ! -e x ] || fail "compress without tiles made its output folder"
rm folder/N58E011.xem
expect 0 -m "^compress: 1 tile converted, 2 already there, 0 failed" "$srtm" compress both -o folder --skip-existing --quiet
expect 0 -m "^compress: 0 tiles converted, 3 already there, 0 failed" "$srtm" compress both -o folder --skip-existing
mkdir -p busy/N57E011.xem
expect 4 -m "^srtm compress: N57E011.hgt: not converted: .*busy${s}N57E011.xem: " "$srtm" compress t -o busy --quiet
has "^compress: 0 tiles converted, 0 already there, 1 failed" "compress into a folder in the way"
expect 4 -m "output folder t/N57E011.hgt/x cannot be made \(" "$srtm" compress both -o t/N57E011.hgt/x
expect 4 -m "output folder t/N57E011.hgt cannot be made \(a file of that name is there" "$srtm" compress both -o t/N57E011.hgt

# Every command: -h/--help and -V/--version anywhere; a wrong or missing argument named
# in one line, then the usage lines (not the whole help); -- ends the options.
version=$(run "$srtm" --version | tr -d "\r")
[[ $version =~ ^srtm\ [0-9]+\.[0-9]+ ]] || fail "srtm --version: $version"
while IFS='|' read -r cmd args message; do
  # shellcheck disable=SC2086
  expect 0 -m "^$version" "$srtm" $cmd $args -V
  # shellcheck disable=SC2086
  expect 0 -m "^Usage: srtm $cmd " "$srtm" $cmd $args --help
  [ "$cmd" = import ] && [ -n "$runner" ] && continue  # srtm.exe has no import
  # shellcheck disable=SC2086
  usage_error "$cmd" "$message" $args
done <<'EOF'
classify|--jsn t/N57E011.hgt|unknown option '--jsn'
block|t/N57E011.hgt 1|no output given
compress|t -o off --jobs=0|--jobs wants a whole number from 1 to 256, not '0'
info||no FILE.xem given
decode|off/N57E011.xem -o|-o wants a value
decode|off/N57E011.xem -o a.raw b.xem|unexpected argument 'b.xem'
verify|--fill maybe off/N57E011.xem t/N57E011.hgt|--fill wants on or off, not 'maybe'
render|t/N57E011.hgt --scale=0 -o a.png|--scale wants a whole number from 1 to 64, not '0'
import|t/N57E011.hgt|no output folder given
EOF
expect 3 -m "^srtm classify: -x.hgt: not a tile: no such file" "$srtm" classify -- -x.hgt
sep=/
[ -z "$runner" ] || sep='\\'
expect 0 -m "Compresses tiles into OUTDIR$sep<tile>.xem" "$srtm" compress --help

finish "all XEM command-line checks passed"
