# What the import tests share (sourced): the programs, a scratch folder, and checks.
#   . import_lib.sh SRTM QLPHOST N57E011.hgt
srtm=$(realpath "$1") qlphost=$(realpath "$2") tile=$(realpath "$3")
py=/usr/bin/python3  # Debian's, with GDAL's bindings and numpy
if ! command -v gdalwarp >/dev/null || ! $py -c 'from osgeo import gdal; import numpy' 2>/dev/null; then
  echo "SKIP: GDAL's tools or python3-gdal with numpy are missing (bash scripts/setup.sh installs them)"
  exit 77
fi
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect CODE CMD...: runs CMD, keeps its output in $out, checks its exit code.
expect() {
  local want=$1; shift
  out=$("$@" 2>&1); local got=$?
  [ "$got" = "$want" ] || fail "exit $got, wanted $want: $* -> $out"
}
# has TEXT WHAT: the last output holds TEXT (a grep pattern).
has() { grep -q -- "$1" <<<"$out" || fail "$2: no '$1' in: $out"; }
same() { cmp -s "$1" "${3:-$tile}" || fail "$2: $1 is not ${3:-the tile} byte for byte"; }
finish() {
  [ "$failures" = 0 ] && echo "all $1 checks passed"
  exit $((failures > 0))
}
# compare OURS.hgt HAND.tif [ORIGINAL.hgt]: OURS equals HAND rounded to the metre where
# HAND has a value and is void elsewhere; prints the difference from ORIGINAL.
compare() {
  $py - "$@" <<'PY'
import sys, numpy as np
from osgeo import gdal
def hgt(p):
    a = np.fromfile(p, '>i2').astype(np.float64); n = int(round(len(a) ** 0.5)); return a.reshape(n, n)
ours = hgt(sys.argv[1]); ds = gdal.Open(sys.argv[2]); hand = ds.ReadAsArray().astype(np.float64)
nd = ds.GetRasterBand(1).GetNoDataValue()
valid = ~np.isnan(hand) if nd is None else ~np.isnan(hand) & (hand != nd)
rounded = np.clip(np.floor(hand + 0.5), -32767, 32767)
bad = int((ours[valid] != rounded[valid]).sum()) + int((ours[~valid] != -32768).sum())
if bad: print("differs from gdalwarp at %d samples" % bad); sys.exit(1)
if len(sys.argv) > 3:
    orig = hgt(sys.argv[3]); both = (ours != -32768) & (orig != -32768)
    d = np.abs(ours - orig)[both]
    print("equal to gdalwarp; from the original: mean %.2f m, 99th percentile %.0f m over %d samples" % (d.mean(), np.percentile(d, 99), both.sum()))
PY
}
h=$(awk 'BEGIN { printf "%.17g", 0.5 / 1200 }')
tile_grid="-te $(awk -v h="$h" 'BEGIN { printf "%.17g %.17g %.17g %.17g", 11 - h, 57 - h, 12 + h, 58 + h }') -ts 1201 1201"
# The tile as a GeoTIFF with its south-west corner at LAT LON: relocated LAT LON OUT.
relocated() {
  gdal_translate -q -ot Float32 -a_srs EPSG:4326 -a_ullr $(awk -v a="$1" -v o="$2" -v h="$h" \
    'BEGIN { printf "%.17g %.17g %.17g %.17g", o - h, a + 1 + h, o + 1 + h, a - h }') "$tile" "$3"
}
# The tile with a block of voids: voided OUT.
voided() {
  $py -c "
import numpy as np
a = np.fromfile('$tile', '>i2').reshape(1201, 1201).copy(); a[300:420, 500:650] = -32768; a.tofile('$1')"
}
