#!/usr/bin/env bash
# Compares a whole `srtm compress` process with GDAL's DEFLATE GeoTIFF writer on the same
# synthetic tiles (the benchmark's terrain, ~2% voids in blobs): wall time, best of N
# runs, with the tiles in the page cache, and the output sizes. Not part of the tests.
#   bench/compare_compress_gdal.sh [BUILD_DIR] [RUNS]     (default build/native, 5)
# Installs gdal-bin from Debian when gdal_translate is missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
runs=${2:-5}
bin="$build/bin"
for tool in srtm xem_bench; do
  [ -x "$bin/$tool" ] || { echo "missing $bin/$tool: build the native preset first" >&2; exit 2; }
done
if ! command -v gdal_translate >/dev/null; then
  echo "installing gdal-bin" >&2
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq gdal-bin >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/xem_bench" --make-tiles "$work/tiles"

# Best wall time of $runs runs of a command, in seconds.
best_of() {
  local best="" start end t
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  printf '%.3f' "$best"
}

printf '%-7s %12s %12s %8s %14s %14s\n' kind "srtm (s)" "gdal (s)" speedup "xem bytes" "tif bytes"
for kind in srtm3 srtm1; do
  tile="$work/tiles/$kind/N30E010.hgt"
  cat "$tile" >/dev/null  # into the page cache
  mkdir -p "$work/out-$kind"
  t_srtm=$(best_of "$bin/srtm" compress "$tile" -o "$work/out-$kind" --fill on)
  t_gdal=$(best_of gdal_translate -q -co COMPRESS=DEFLATE -co PREDICTOR=2 -co TILED=YES "$tile" "$work/$kind.tif")
  size_xem=$(stat -c %s "$work/out-$kind/N30E010.xem")
  size_tif=$(stat -c %s "$work/$kind.tif")
  printf '%-7s %12s %12s %7.1fx %14s %14s\n' "$kind" "$t_srtm" "$t_gdal" "$(awk -v g="$t_gdal" -v s="$t_srtm" 'BEGIN { print g / s }')" \
    "$size_xem" "$size_tif"
done
