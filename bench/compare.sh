#!/usr/bin/env bash
# srtm.qlp side by side with GDAL on the same tiles, in one run, with the ratios:
# conversion time and size against gdal_translate (DEFLATE, PREDICTOR=2, TILED), window
# reads against GDAL reading the same 320 x 320 windows from a .hgt and from a VRT of the
# tiles, void filling against gdal_fillnodata (see compare.py), and srtm import against
# gdalwarp making the same tile grid (compare_import_gdal.sh); and what starting a
# command of the tool costs (compare_startup.py; SRTM_BEFORE=PATH adds another build's
# srtm beside it). Not part of the tests.
#   bench/compare.sh [BUILD_DIR] [RUNS]     (default build/native, 5)
# Installs Debian's gdal-bin and its Python binding when missing, and builds what it runs.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build=${1:-$root/build/native}
runs=${2:-5}

if ! command -v gdal_translate >/dev/null || ! command -v gdalbuildvrt >/dev/null ||
   ! /usr/bin/python3 -c "import osgeo.gdal, numpy" 2>/dev/null; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "compare: installing gdal-bin python3-gdal python3-numpy" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    gdal-bin python3-gdal python3-numpy >/dev/null
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$root" && cmake --preset native -B "$build" >/dev/null)
fi
cmake --build "$build" -j"$(nproc)" --target srtm srtm_gdal qlphost hgt_bench xem_bench tools_bench >/dev/null
build=$(cd "$build" && pwd)

echo "srtm.qlp $(git -C "$root" describe --always --dirty 2>/dev/null || echo '?') against" \
     "GDAL $(gdalinfo --version | cut -d, -f1 | cut -d' ' -f2), best of $runs runs, $(nproc) cores," \
     "load $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/python3 "$here/compare.py" "$build" "$runs"
echo
bash "$here/compare_import_gdal.sh" "$build" "$runs"
echo
echo "== start-up of a command (srtm links no GDAL; srtm import opens its engine when it needs it)"
/usr/bin/python3 "$here/compare_startup.py" "$build" "$runs"

# The same figures in both worlds: the native build, and the Windows build under Wine,
# whichever Windows world runs here (scripts/wine-works.sh): the PE32 build users run
# under 32-bit Wine, else the x86-64 build of the same sources under 64-bit Wine.
echo
echo "both worlds (world_timing, medians)"
cmake --build "$build" --target world_timing >/dev/null
native_figures=$("$build/bin/world_timing")
windows_figures=""
label="Windows"
if world=$(bash "$root/scripts/wine-works.sh" 2>/dev/null); then
  label="Windows: $(SRTM_WINE_WORLD=$world && source "$root/scripts/wine-env.sh" && echo "$SRTM_WINE_LABEL")"
  [ -f "$root/build/$world/CMakeCache.txt" ] || (cd "$root" && cmake --preset "$world" >/dev/null)
  cmake --build "$root/build/$world" -j"$(nproc)" --target world_timing >/dev/null
  windows_figures=$(SRTM_WINE_WORLD=$world "$root/scripts/with-wine.sh" \
                    "$root/cmake/wine-run.sh" "$root/build/$world/bin/world_timing.exe" | tr -d '\r')
fi
printf '  %-42s %12s %36s\n' "" "native" "$label"
while IFS=$'\t' read -r what value unit; do
  other=$(awk -F'\t' -v w="$what" '$1 == w { print $2 " " $3 }' <<<"$windows_figures")
  printf '  %-42s %12s %36s\n' "$what" "$value $unit" "${other:-not measured}"
done <<<"$native_figures"
[ -n "$windows_figures" ] || echo "  (no Windows world runs here: $(bash "$root/scripts/wine-works.sh" 2>&1))"
