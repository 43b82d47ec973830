#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine: installs what is missing (quietly, only once),
# builds the plug-in, the stand-in host and the tool, and shows on the bundled real tile
# what srtm.qlp does, through the stand-in host and its scripted user:
#   1. the tile opened as a whole-globe map, the served blocks drawn as a relief picture
#      (the missing neighbouring tiles hatched grey);
#   2. the sea level changed in the settings dialog, and the picture drawn again;
#   3. the folder compressed with the wizard, its progress bar drawn in the terminal;
#   4. the XEM file registered by the wizard's Finish and drawn as the host decodes it.
# In the native world, which ends with the summary; before it, where the Windows world
# that runs here is set up (built once by scripts/test.sh), the same under Wine with the
# plug-in's real dialogs. Pictures: out/demo/ (and out/demo/wine/, the same pixels).
#   bash scripts/demo.sh     (SRTM_DEMO_WINE=1 builds and runs the Wine world too, 0 never)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
jobs=$(nproc)
tile=$root/tests/data/N57E011.hgt
out=$root/out/demo
mkdir -p "$out"
start=$(date +%s.%N)

# The Windows world that runs here (scripts/wine-works.sh): win32, else win64.
windows=$(bash scripts/wine-works.sh 2>/dev/null) || windows=""
wine_world=${SRTM_DEMO_WINE:-}
[ -z "$wine_world" ] && { [ -f "build/${windows:-win32}/CMakeCache.txt" ] && wine_world=1 || wine_world=0; }
if [ "$wine_world" = 1 ] && [ -z "$windows" ]; then
  echo "demo: the Wine world is left out: $(bash scripts/wine-works.sh 2>&1)"
  wine_world=0
fi

echo "== building the plug-in, the stand-in host and the tool"
cmake --preset native >/dev/null
cmake --build build/native -j"$jobs" --target srtm_plugin srtm-demo srtm >/dev/null
if [ "$wine_world" = 1 ]; then
  cmake --preset "$windows" >/dev/null
  cmake --build "build/$windows" -j"$jobs" --target srtm_plugin srtm-demo srtm >/dev/null
fi

if [ "$wine_world" = 1 ]; then
  echo
  echo "== Windows world ($windows) under Wine: srtm-demo.exe loads build/$windows/bin/srtm.qlp into the stand-in host"
  # A Windows program writes its texts in the ANSI code page (932) when its output is not a
  # console; the terminal here wants UTF-8.
  SRTM_WINE_WORLD=$windows scripts/with-wine.sh cmake/wine-run.sh "build/$windows/bin/srtm-demo.exe" "$tile" \
    --out "$out/wine" | iconv -f CP932 -t UTF-8
fi

echo
echo "== native world: srtm-demo loads build/native/bin/srtm.qlp into the stand-in host"
build/native/bin/srtm-demo "$tile" --out "$out"
if [ "$wine_world" = 1 ]; then echo "               (the Wine run's pictures, the same pixels: $out/wine/)"; fi
awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "demo.sh        %.0f s with the builds\n", b - a }'
