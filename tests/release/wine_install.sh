#!/usr/bin/env bash
# Under Wine (run through scripts/with-wine.sh): the stand-in host loads srtm.qlp from
# the folder the zip was unpacked into and runs the whole user flow of the end-to-end
# script on the bundled tile; the unpacked srtm.exe compresses the tile and verifies it,
# and imports it from a zip into a folder with a Japanese name.
#   scripts/with-wine.sh bash tests/release/wine_install.sh INSTALL_FOLDER WORK TILE.hgt
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
inst=$1 work=$2 tile=$3
mkdir -p "$work/tiles" "$work/flow" "$work/exe"
cp "$tile" "$work/tiles/N57E011.hgt"

echo "== the unpacked plug-in in the stand-in host: $(winepath -w "$inst/srtm.qlp")"
wine "$root/build/win32/bin/qlphost.exe" --plugin "$(winepath -w "$inst/srtm.qlp")" \
  run "$root/tests/wine/scripts/end_to_end.txt" --path TILE="$work/tiles/N57E011" --path OUT="$work/flow"
test -s "$work/flow/N57E011.xem" || { echo "the wizard wrote no N57E011.xem"; exit 1; }

echo "== the unpacked srtm.exe"
wine "$inst/srtm.exe" compress "$(winepath -w "$work/tiles/N57E011.hgt")" -o "$(winepath -w "$work/exe")" --quiet
wine "$inst/srtm.exe" verify "$(winepath -w "$work/exe/N57E011.xem")" "$(winepath -w "$work/tiles/N57E011.hgt")"
(cd "$work/tiles" && cp N57E011.hgt N57E011.SRTMGL3.hgt && zip -qm N57E011.SRTMGL3.hgt.zip N57E011.SRTMGL3.hgt)
wine "$inst/srtm.exe" import "$(winepath -w "$work/tiles/N57E011.SRTMGL3.hgt.zip")" -o "$(winepath -w "$work/地図/SRTM")" --quiet
cmp "$work/地図/SRTM/N57E011.hgt" "$tile"
