#!/usr/bin/env bash
# `srtm import` against `gdalwarp` making the same grid, in one run: one Copernicus-like
# 1-degree GeoTIFF (32-bit floats, 1 x 1.5 arc-seconds, pixel-is-area, made by gdalwarp
# from the bundled tile) into an SRTM-1 tile (3601 x 3601, bilinear), each as one whole
# process on one thread, best of N runs with the source in the page cache (ratio: gdalwarp's
# time over ours, 1 or more meets the goal); and how far apart the two outputs are (gdalwarp
# writes an Int16 GeoTIFF; its integer path rounds some samples one metre away from its own
# Float32 result, which import's tiles match exactly, see tests/tools/import_test.sh).
# Not part of the tests.
#   bench/compare_import_gdal.sh [BUILD_DIR] [RUNS]     (default build/native, 5)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
runs=${2:-5}
srtm="$build/bin/srtm"
[ -x "$srtm" ] || { echo "missing $srtm: build the native preset first" >&2; exit 2; }
command -v gdalwarp >/dev/null || { echo "missing gdalwarp: bash scripts/setup.sh installs it" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gdalwarp -q -t_srs EPSG:4326 -te 11 57 12 58 -tr 0.000416666666666667 0.000277777777777778 -r cubic \
  -ot Float32 -dstnodata -32768 -co TILED=YES -co COMPRESS=DEFLATE "$root/tests/data/N57E011.hgt" "$work/cop.tif"
cat "$work/cop.tif" >/dev/null
h=$(awk 'BEGIN { printf "%.17g", 0.5 / 3600 }')
grid="-te $(awk -v h="$h" 'BEGIN { printf "%.17g %.17g %.17g %.17g", 11 - h, 57 - h, 12 + h, 58 + h }') -ts 3601 3601"

# Best wall time and best processor time (user + system) of $runs runs of a command, in
# seconds: the second is the fairer figure on a machine shared with other work.
best_of() {
  local times="$work/times"
  : > "$times"
  for _ in $(seq "$runs"); do
    /usr/bin/time -a -o "$times" -f "%e %U %S" "$@" >/dev/null 2>&1
  done
  awk '{ c = $2 + $3; if (NR == 1 || $1 < w) w = $1; if (NR == 1 || c < p) p = c } END { printf "%.3f %.3f", w, p }' "$times"
}

mkdir "$work/out"
t_srtm=$(best_of "$srtm" import "$work/cop.tif" -o "$work/out" --kind srtm1 --jobs 1 --quiet)
# shellcheck disable=SC2086
t_gdal=$(best_of gdalwarp -q -overwrite $grid -r bilinear -ot Int16 -dstnodata -32768 "$work/cop.tif" "$work/hand.tif")
agree=$(/usr/bin/python3 - "$work/out/N57E011.hgt" "$work/hand.tif" <<'PY' 2>/dev/null || echo "not checked (python3-gdal)"
import sys, numpy as np
from osgeo import gdal
ours = np.fromfile(sys.argv[1], '>i2').reshape(3601, 3601)
ds = gdal.Open(sys.argv[2]); hand = ds.ReadAsArray()
d = np.abs(ours.astype(int) - hand)
print("%d of %d samples differ, by %d m at most" % ((d > 0).sum(), ours.size, d.max()))
PY
)
read -r w_srtm c_srtm <<<"$t_srtm"
read -r w_gdal c_gdal <<<"$t_gdal"
printf '%-22s %16s %16s %14s  %s\n' "1 x 1.5\" -> SRTM-1" "srtm wall/cpu" "gdalwarp wall/cpu" "ratio wall/cpu" "outputs"
printf '%-22s %7s /%7s %7s /%7s %6.2fx /%5.2fx  %s\n' "bilinear, one thread" "$w_srtm" "$c_srtm" "$w_gdal" "$c_gdal" \
  "$(awk -v g="$w_gdal" -v s="$w_srtm" 'BEGIN { print g / s }')" "$(awk -v g="$c_gdal" -v s="$c_srtm" 'BEGIN { print g / s }')" "$agree"
