#!/usr/bin/env bash
# Compares one block read of the plug-in (hgt_bench, Google Benchmark) with GDAL reading
# the same 320 x 320 windows (compare_read_gdal.py). Not part of the tests.
#   bench/compare_read_gdal.sh [BUILD_DIR]   (default build/native, with SRTM_BUILD_BENCH=ON)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../build/native}

# Debian's GDAL and its Python binding; the system python3, not one from a version manager.
if ! command -v gdalbuildvrt >/dev/null || ! /usr/bin/python3 -c "import osgeo.gdal" 2>/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq gdal-bin python3-gdal >/dev/null
fi
if [ ! -x "$build/bin/hgt_bench" ]; then
  echo "compare_read_gdal: build $build/bin/hgt_bench first (the native preset builds it)" >&2
  exit 2
fi

echo "== srtm.qlp: HgtTile::ReadBlock (files in the page cache, no block cache)"
"$build/bin/hgt_bench" --benchmark_filter=ReadBlock --benchmark_min_time=1
echo
echo "== GDAL $(gdalinfo --version | cut -d, -f1 | cut -d' ' -f2): the same windows"
/usr/bin/python3 "$here/compare_read_gdal.py"
