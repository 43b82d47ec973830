#!/usr/bin/env bash
# srtm import on inputs GDAL makes from the real tile: GeoTIFFs on the tile grid
# unchanged with every resampling, other grids
# and projections equal to gdalwarp asked by hand for the tile's grid, voids completed
# from a second source, bad inputs refused with their file named, shards, Ctrl-C, and
# the imported folder served by the plug-in, compressed and verified.
#   import_test.sh SRTM QLPHOST N57E011.hgt
set -uo pipefail
. "$(dirname "$0")/import_lib.sh"
# Only complete tiles in a folder: no temporary or partial file left.
only_tiles() {
  local f
  for f in "$1"/*; do
    [ -e "$f" ] || continue
    [[ $(basename "$f") =~ ^[NS][0-9]{2}[EW][0-9]{3}\.hgt$ ]] || fail "$2: $f left behind"
    case $(stat -c %s "$f") in 2884802 | 25934402) ;; *) fail "$2: $f is partial" ;; esac
  done
}

# (Tiles in archives and under other names: import_archives_test.sh, in both worlds.)
# A float GeoTIFF of the tile is on the tile grid: unchanged with every resampling.
gdal_translate -q -ot Float32 "$tile" float.tif
for r in bilinear cubic nearest average; do
  expect 0 "$srtm" import float.tif -o "out-float-$r" --resampling "$r" --quiet
  same "out-float-$r/N57E011.hgt" "float GeoTIFF, $r"
done

# A Copernicus-like grid (1 x 1.5 arc-seconds, pixel-is-area, EGM2008 heights) and a UTM
# one: what gdalwarp gives for the tile's grid, to the metre.
gdalwarp -q -t_srs EPSG:4326 -te 11 57 12 58 -tr 0.000416666666666667 0.000277777777777778 -r bilinear \
  -ot Float32 -dstnodata -32768 "$tile" cop.tif
$py -c "
from osgeo import gdal, osr
ds = gdal.Open('cop.tif', gdal.GA_Update); s = osr.SpatialReference(); s.ImportFromEPSG(4326)
v = osr.SpatialReference(); v.ImportFromEPSG(3855); c = osr.SpatialReference(); c.SetCompoundCS('WGS 84 + EGM2008 height', s, v)
ds.SetSpatialRef(c)"
gdalwarp -q -t_srs EPSG:32632 -tr 90 90 -r bilinear -ot Float32 -dstnodata -32768 "$tile" utm.tif
for r in bilinear cubic; do
  gdalwarp -q $tile_grid -r "$r" -ot Float32 cop.tif "cop-hand-$r.tif"
  expect 0 "$srtm" import cop.tif -o "out-cop-$r" --kind srtm3 --resampling "$r" --quiet
  compare "out-cop-$r/N57E011.hgt" "cop-hand-$r.tif" "$tile" || fail "Copernicus-like grid, $r"
  gdalwarp -q -t_srs EPSG:4326 $tile_grid -r "$r" -ot Float32 utm.tif "utm-hand-$r.tif"
  expect 0 "$srtm" import utm.tif -o "out-utm-$r" --kind srtm3 --resampling "$r" --quiet
  compare "out-utm-$r/N57E011.hgt" "utm-hand-$r.tif" || fail "UTM, $r"
done
expect 0 "$srtm" import cop.tif -o out-cop1 --quiet
grep -q "vertical datum EGM2008" <<<"$out" || fail "Copernicus-like datum not reported: $out"
[ "$(stat -c %s out-cop1/N57E011.hgt)" = 25934402 ] || fail "a 1 arc-second source did not give SRTM-1"

# A voided copy of the tile, completed from the GeoTIFF: the tile again, no voids; the
# two datums named.
mkdir voided && voided voided/N57E011.hgt
expect 0 "$srtm" import voided/N57E011.hgt float.tif -o out-filled --quiet
grep -q "vertical datum EGM96" <<<"$out" || fail "no datum for an SRTM tile: $out"
grep -q "1424401 samples from voided/N57E011.hgt, 18000 samples from float.tif, 0 void" <<<"$out" ||
  fail "void completion counts: $out"
same out-filled/N57E011.hgt "voids completed"
expect 0 "$srtm" import voided/N57E011.hgt cop.tif -o out-mixed --quiet
grep -q "different vertical datums (EGM2008 height, EGM96 geoid" <<<"$out" || fail "no datum note: $out"

# Bad inputs: each its message naming the file and its exit code; nothing left behind;
# the good source beside a bad one still goes through.
echo "not a raster" > text.tif
$py -c "
from osgeo import gdal
src = gdal.Open('float.tif'); d = gdal.GetDriverByName('GTiff').Create('nocrs.tif', 1201, 1201, 1, gdal.GDT_Float32)
d.SetGeoTransform(src.GetGeoTransform()); d.GetRasterBand(1).WriteArray(src.ReadAsArray())"
zip -q noraster.zip text.tif
expect 3 "$srtm" import text.tif -o out-bad --quiet
grep -q "text.tif: is not a raster GDAL can read" <<<"$out" || fail "text .tif: $out"
expect 3 "$srtm" import nocrs.tif -o out-bad --quiet
grep -q "nocrs.tif: has no coordinate system" <<<"$out" || fail "no coordinate system: $out"
expect 3 "$srtm" import noraster.zip -o out-bad --quiet
grep -q "noraster.zip: holds no tile or raster" <<<"$out" || fail "zip without raster: $out"
[ ! -e out-bad ] || [ -z "$(ls -A out-bad)" ] || fail "a refused import left $(ls out-bad)"
expect 3 "$srtm" import text.tif float.tif -o out-partly --quiet
same out-partly/N57E011.hgt "the good source beside a bad one"
expect 4 "$srtm" import float.tif -o text.tif --quiet
grep -q "output folder text.tif cannot be made" <<<"$out" || fail "output over a file: $out"
expect 4 "$srtm" import float.tif -o text.tif/sub --quiet
[ "$(cat text.tif)" = "not a raster" ] || fail "the file in the way of the output folder was changed"
expect 2 "$srtm" import float.tif --quiet
expect 2 "$srtm" import float.tif -o x --kind srtm2
expect 2 "$srtm" import float.tif -o x --resampling lanczos
expect 0 "$srtm" import --help

# Shards: the parts of the UTM source's tiles are disjoint and together the whole;
# --skip-existing leaves what is there.
expect 0 "$srtm" import utm.tif -o out-all --kind srtm3 --quiet --jobs 2 --min-cover 0
all=$(ls out-all | tr '\n' ' ')
expect 0 "$srtm" import utm.tif -o out-shards --kind srtm3 --quiet --shard 1/2 --min-cover 0
one=$(ls out-shards | tr '\n' ' ')
expect 0 "$srtm" import utm.tif -o out-shards --kind srtm3 --quiet --shard 2/2 --min-cover 0
[ "$(ls out-shards | tr '\n' ' ')" = "$all" ] && [ -n "$one" ] && [ "$one" != "$all" ] ||
  fail "shards: 1/2 gave '$one', both '$(ls out-shards | tr '\n' ' ')', whole '$all'"
for f in out-all/*; do cmp -s "$f" "out-shards/$(basename "$f")" || fail "shard tile $f differs"; done
before=$(stat -c %Y out-all/N57E011.hgt)
touch -d '2001-01-01' out-all/N57E011.hgt
expect 0 "$srtm" import utm.tif -o out-all --kind srtm3 --quiet --skip-existing
grep -q "N57E011.hgt: already there" <<<"$out" || fail "--skip-existing: $out"
[ "$(stat -c %Y out-all/N57E011.hgt)" != "$before" ] || fail "--skip-existing rewrote the tile"

# Ctrl-C in the middle of SRTM-1 tiles: exit 130, no partial tile.
"$srtm" import utm.tif -o out-stopped --kind srtm1 --resampling cubic --jobs 1 --quiet >/dev/null 2>&1 &
pid=$!
sleep 1.5
kill -INT "$pid"
wait "$pid"
code=$?
if [ "$code" = 0 ]; then
  echo "SKIP: the import finished before Ctrl-C (too fast a machine to check stopping)"
else
  [ "$code" = 130 ] || fail "Ctrl-C: exit $code, wanted 130"
  only_tiles out-stopped "Ctrl-C"
fi

# End to end: the imported folder served by the plug-in through the stand-in host (the
# sample at 57.7 N, 11.9 E is 13 m, served as 14 with the sea on), compressed, verified.
expect 0 "$srtm" import cop.tif -o served --kind srtm3 --quiet
expect 0 "$qlphost" block served/N57E011.hgt 507532000 -o served.raw
grep -q "SRTM-3 N57E011.hgt" <<<"$out" || fail "qlphost did not open the imported tile: $out"
s=$(od -An -t d2 -j $((2 * (280 * 320 + 200))) -N 2 served.raw | tr -d ' ')
[ "$s" -ge 12 ] && [ "$s" -le 16 ] || fail "served sample at 57.7 N 11.9 E is $s, wanted 14 +- 2"
mkdir xem
expect 0 "$srtm" compress served -o xem --quiet
has "compress: 1 tile converted, 0 already there, 0 failed -> xem/" "compress of the imported folder"
expect 0 "$srtm" verify xem/N57E011.xem served/N57E011.hgt

finish import
