#!/usr/bin/env bash
# srtm import on data shaped as the downloads ship it, made by GDAL from the real tile:
# a model's 1-degree files against one raster of them (seams included), the Copernicus
# DEM's layout, values in other units and values no tile holds, a folder of good tiles,
# the antimeridian, tiles of the other kind, and the messages of what cannot be done.
#   import_shapes_test.sh SRTM QLPHOST N57E011.hgt
set -uo pipefail
. "$(dirname "$0")/import_lib.sh"
# tile_values CHECK FILE...: a Python expression on `t` (the tiles given, as arrays,
# t[0], t[1], ...) and `a` (the real tile) that must hold.
holds() {
  local check=$1; shift
  $py - "$tile" "$check" "$@" <<'PY' || fail "does not hold: $check on $*"
import sys, numpy as np
def hgt(p):
    v = np.fromfile(p, '>i2').astype(np.int64); n = int(round(len(v) ** 0.5)); return v.reshape(n, n)
a = hgt(sys.argv[1]); t = [hgt(p) for p in sys.argv[3:]]; V = -32768
sys.exit(0 if eval(sys.argv[2]) else 1)
PY
}

# ---- A model's 1-degree files give the tiles one raster of them gives, seams included ----
# Copernicus-like (pixel-is-area, 1.5 times as far apart east-west as north-south, here
# at a third of its resolution): a 2 x 2-degree raster gdalwarp makes of the tile put at
# four corners, and the four 1-degree files cut from it, in a folder (with a Japanese name),
# as the model ships them.
for c in "56 10" "56 11" "57 10" "57 11"; do relocated $c "at-${c/ /-}.tif"; done
gdalwarp -q -te 10 56 12 58 -tr 0.00125 0.000833333333333333 -r bilinear -dstnodata -32768 at-*.tif mosaic.tif
cop="標高 あ"
mkdir "$cop"
for c in "56 10 0 1200" "56 11 800 1200" "57 10 0 0" "57 11 800 0"; do
  set -- $c
  gdal_translate -q -srcwin "$3" "$4" 800 1200 mosaic.tif "$cop/Copernicus_DSM_30_N$1_00_E0$2_00_DEM.tif"
done
expect 0 "$srtm" import mosaic.tif -o one --quiet
expect 0 "$srtm" import "$cop" -o four --quiet
[ "$(ls one | tr '\n' ' ')" = "N56E010.hgt N56E011.hgt N57E010.hgt N57E011.hgt " ] || fail "one raster gave $(ls one)"
for f in one/*; do same "four/${f#one/}" "the 1-degree files against one raster" "$f"; done
holds "(t[0][-1] != V).all() and (t[0][:, -1] != V).all() and (t[1][0, :-1] != V).all()" four/N57E010.hgt four/N56E011.hgt

# ---- The Copernicus DEM's layout, as a folder and as a tar: the heights taken ----
d=Copernicus_DSM_30_N57_00_E011_00
mkdir -p "$d/DEM" "$d/AUXFILES" "$d/INFO"
cp "$cop/${d}_DEM.tif" "$d/DEM/"
for m in EDM FLM HEM WBM; do gdal_translate -q -ot Byte -a_nodata none -scale -32768 32767 1 1 "$cop/${d}_DEM.tif" "$d/AUXFILES/${d}_$m.tif"; done
echo "<dem/>" > "$d/INFO/${d}_DEM.xml"
tar -cf "$d.tar" "$d"
expect 0 "$srtm" import "$cop/${d}_DEM.tif" -o dem-alone --quiet
for src in "$d" "$d.tar"; do
  expect 0 "$srtm" import "$src" -o "layout-$src" --quiet
  same "layout-$src/N57E011.hgt" "the Copernicus layout as $src" dem-alone/N57E011.hgt
  has "passed over 4 auxiliary rasters of the Copernicus DEM.*1 file that GDAL does not read as a raster" "$src"
done

# ---- Values: scale and offset, feet, values no tile holds, only no-data ----
gdal_translate -q -ot Float32 "$tile" float.tif
$py - <<'PY'
import numpy as np
from osgeo import gdal, gdal_array, osr
src = gdal.Open('float.tif'); a = src.ReadAsArray().astype(np.float64)
def make(name, data, nodata=None, scale=None, offset=None, unit=None, srs=None):
    d = gdal.GetDriverByName('MEM').Create('', 1201, 1201, 1, gdal_array.NumericTypeCodeToGDALTypeCode(data.dtype))
    d.SetGeoTransform(src.GetGeoTransform()); d.SetSpatialRef(srs or src.GetSpatialRef())
    b = d.GetRasterBand(1); b.WriteArray(data)
    for value, setter in ((nodata, b.SetNoDataValue), (scale, b.SetScale), (offset, b.SetOffset), (unit, b.SetUnitType)):
        if value is not None: setter(value)
    gdal.GetDriverByName('GTiff').CreateCopy(name, d)
make('scaled.tif', np.round((a - 100) / 0.1).astype(np.int16), scale=0.1, offset=100)
make('feet.tif', (a / 0.3048).astype(np.float32), unit='ft')
h = osr.SpatialReference(); h.ImportFromEPSG(4326); v = osr.SpatialReference(); v.ImportFromEPSG(6360)
c = osr.SpatialReference(); c.SetCompoundCS('WGS 84 + NAVD88 height (ftUS)', h, v)
make('usft.tif', (a / (1200 / 3937)).astype(np.float32), srs=c)
vrt = gdal.Translate('usft.vrt', 'usft.tif', format='VRT'); vrt.GetRasterBand(1).SetUnitType(''); vrt = None
make('furlong.tif', a.astype(np.float32), unit='furlong')
bad = a.astype(np.float32); bad[100, 100] = np.inf; bad[200, 200] = -3.4e38; bad[300, 300] = 1e6
make('bad.tif', bad)
make('nodata.tif', np.full((1201, 1201), -9999, np.float32), nodata=-9999)
PY
for v in scaled.tif feet.tif usft.vrt; do
  expect 0 "$srtm" import "$v" -o "val-$v" --quiet
  same "val-$v/N57E011.hgt" "heights from $v"
done
has "heights in US survey feet (its vertical coordinate system), converted to metres" "a CRS in US survey feet"
expect 0 "$srtm" import scaled.tif feet.tif -o val-notes --quiet
has "scale 0.1 and offset 100 applied" "scale and offset"
has "heights in feet (its band's unit), converted to metres" "a band unit in feet"
expect 3 "$srtm" import furlong.tif -o val-furlong --quiet
has "furlong.tif: holds heights in 'furlong' (its band's unit), which import does not know" "an unknown unit"
expect 0 "$srtm" import bad.tif -o val-bad --quiet
has "3 void (3 where a source holds values no tile can hold)" "values no tile holds"
holds "(t[0][[100, 200, 300], [100, 200, 300]] == V).all() and (t[0] != V).sum() == a.size - 3" val-bad/N57E011.hgt
expect 0 "$srtm" import bad.tif -o val-bad1 --kind srtm1 --quiet
has "where a source holds values no tile can hold" "values no tile holds, resampled"
holds "np.abs(t[0][t[0] != V]).max() < 2000" val-bad1/N57E011.hgt
expect 3 "$srtm" import nodata.tif -o val-nodata --quiet
has "nothing written: the sources hold no value (only no-data)" "an all-no-data source"
[ ! -e val-nodata/N57E011.hgt ] || fail "a tile of no-data was written"

# ---- A folder of good tiles is never made worse; --replace replaces ----
mkdir good voided
for t in N57E011 N58E011 N57E012; do cp "$tile" "good/$t.hgt"; done
voided voided/N57E011.hgt
gdalwarp -q -t_srs EPSG:32632 -tr 90 90 -r bilinear -ot Float32 -dstnodata -32768 "$tile" utm.tif
expect 0 "$srtm" import voided/N57E011.hgt -o good --quiet
has "N57E011.hgt: unchanged" "a voided copy of a tile there"
expect 0 "$srtm" import utm.tif -o good --kind srtm3 --quiet
has "N57E011.hgt: merged into the tile there" "UTM over a tile there"
has "N56E010.hgt: left out: its sources give values to [0-9]* of its 1442401 samples" "a sliver"
[ ! -e good/N56E010.hgt ] || fail "a sliver tile was written"
# The neighbours keep every sample; only the rows or columns the source reaches change.
holds "(t[0] != V).all() and (t[1] != V).all() and (t[0][:-2] == a[:-2]).all() and (t[1][:, 2:] == a[:, 2:]).all()" \
  good/N58E011.hgt good/N57E012.hgt
expect 0 "$srtm" import voided/N57E011.hgt -o good --replace --quiet
has "N57E011.hgt: copied byte for byte from voided/N57E011.hgt.*replacing the tile there" "--replace"
same good/N57E011.hgt "--replace" voided/N57E011.hgt

# ---- The antimeridian: a source across it gives its tiles on both sides ----
relocated 57 179.5 across.tif
gdalwarp -q -t_srs EPSG:32660 -tr 90 90 -r bilinear -dstnodata -32768 across.tif utm60.tif
expect 0 "$srtm" import across.tif -o am --quiet
holds "(t[0][:, 600:] == a[:, :601]).all() and (t[1][:, :601] == a[:, 600:]).all()" am/N57E179.hgt am/N57W180.hgt
expect 0 "$srtm" import utm60.tif -o am60 --quiet
has "utm60.tif: 7[0-9][0-9] x 1[0-9]* samples, 2.9 arc-seconds, 56.9[0-9]*..58.0[0-9]* N, -180.5[0-9]*..-179.4[0-9]* E" \
  "UTM zone 60 across the antimeridian"
[ "$(ls am60 | tr '\n' ' ')" = "N57E179.hgt N57W180.hgt " ] || fail "UTM zone 60: $(ls am60)"

# ---- Tiles of the other kind, by the tool's own kernels: as gdalwarp, and back ----
expect 0 "$srtm" import "$tile" -o up --kind srtm1 --quiet
h1=$(awk 'BEGIN { printf "%.17g", 0.5 / 3600 }')
gdalwarp -q -te $(awk -v h="$h1" 'BEGIN { printf "%.17g %.17g %.17g %.17g", 11 - h, 57 - h, 12 + h, 58 + h }') \
  -ts 3601 3601 -r bilinear -ot Float32 "$tile" up-hand.tif
compare up/N57E011.hgt up-hand.tif >/dev/null || fail "SRTM-3 to SRTM-1 differs from gdalwarp"
expect 0 "$srtm" import up/N57E011.hgt -o down --kind srtm3 --quiet
same down/N57E011.hgt "SRTM-1 back to SRTM-3"
expect 4 "$srtm" import "$tile" -o up --quiet
has "is an SRTM-1 tile, which an SRTM-3 tile would lose the detail of" "an SRTM-3 tile over an SRTM-1 tile"

# ---- What cannot be done, said as what it is ----
mkdir msg
: > msg/N57E011.SRTMGL1.hgt
head -c 2000000 /dev/zero > msg/n58e011.hgt
gdal_translate -q -gcp 0 0 11 58 -gcp 1200 0 12 58 -gcp 0 1200 11 57 "$tile" msg/gcp.tif
expect 3 "$srtm" import msg/N57E011.SRTMGL1.hgt msg/n58e011.hgt msg/gcp.tif -o msg-out --quiet
has "N57E011.SRTMGL1.hgt: a tile of 0 bytes: not an SRTM size" "an empty tile"
has "n58e011.hgt: a tile of 2,000,000 bytes: not an SRTM size" "a tile of the wrong size"
has "gcp.tif: is georeferenced only by ground control points" "ground control points"
# (As root, which may write anywhere, by a copy of the tool run as nobody.)
mkdir -m 555 ro && chmod 755 "$work"
as_user=() ro_srtm=$srtm ro_tile=$tile
if [ "$(id -u)" = 0 ]; then
  mkdir -m 755 as-nobody && cp "$srtm" "$(dirname "$srtm")"/lib*.so* "$tile" as-nobody/ 2>/dev/null
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  ro_srtm=$work/as-nobody/srtm ro_tile=$work/as-nobody/N57E011.hgt
fi
expect 4 "${as_user[@]}" "$ro_srtm" import "$ro_tile" -o ro/out --quiet
has "the output folder ro/out cannot be made (Permission denied)" "under a read-only folder"
mkdir -p in-the-way/N57E011.hgt
expect 4 "$srtm" import "$tile" -o in-the-way --quiet
has "in-the-way/N57E011.hgt: is a folder, where this tile should be written" "a folder where the tile goes"
# Ctrl-C once the last tile is being written (into a named pipe, which waits for its reader).
mkdir fifo && mkfifo fifo/N57E011.hgt
timeout -s KILL 60 "$srtm" import "$tile" -o fifo > fifo.out 2>&1 &
pid=$!
sleep 1
kill -INT "$pid"
timeout 30 cat fifo/N57E011.hgt > fifo.hgt
wait "$pid"
code=$?
[ "$code" = 0 ] && ! grep -q "import: stopped" fifo.out || fail "Ctrl-C after the last tile: exit $code, $(cat fifo.out)"
same fifo.hgt "the tile written through Ctrl-C"
# Without the GDAL engine: tiles still, and rasters told what to install.
export SRTM_IMPORT_ENGINE=$work/no-engine.so
expect 0 "$srtm" import "$tile" -o no-engine --quiet
same no-engine/N57E011.hgt "a tile without the engine"
expect 3 "$srtm" import mosaic.tif -o no-engine --quiet
has "mosaic.tif: reading rasters (GeoTIFF and the like) and archives needs srtm's GDAL engine, which is not installed: install the package srtm-gdal" \
  "a raster without the engine"

finish "import shapes"
