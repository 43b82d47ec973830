#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine: installs what is missing (quietly, only once),
# builds the plug-in, the stand-in host and the tool, and shows on the bundled real tile
# what srtm.qlp does, through the stand-in host and its scripted user:
#   1. the tile opened as a whole-globe map, the served blocks drawn as a relief picture
#      (the missing neighbouring tiles hatched grey);
#   2. the sea level changed in the settings dialog, and the picture drawn again;
#   3. the folder compressed with the wizard, its progress bar drawn in the terminal;
#   4. the XEM file registered by the wizard's Finish and drawn as the host decodes it.
# First in the 32-bit Windows world under Wine (the plug-in's real dialogs), then in the
# native world, which ends with the summary. Pictures: out/demo/ and out/demo/wine/.
#   bash scripts/demo.sh            (SRTM_DEMO_WINE=0 skips the Wine world)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
jobs=$(nproc)
tile=$root/tests/data/N57E011.hgt
out=$root/out/demo
mkdir -p "$out"
start=$(date +%s.%N)

echo "== building the plug-in, the stand-in host and the tool (native and 32-bit Windows)"
cmake --preset native >/dev/null
cmake --build build/native -j"$jobs" --target srtm_plugin qlphost srtm >/dev/null
wine_world=${SRTM_DEMO_WINE:-1}
if [ "$wine_world" = 1 ] && command -v wine >/dev/null && command -v i686-w64-mingw32-g++-posix >/dev/null; then
  cmake --preset win32 >/dev/null
  cmake --build build/win32 -j"$jobs" --target srtm_plugin qlphost srtm >/dev/null
else
  wine_world=0
fi

if [ "$wine_world" = 1 ]; then
  echo
  echo "== 32-bit Windows world under Wine: qlphost.exe loads build/win32/bin/srtm.qlp"
  # A Windows program writes its texts in the ANSI code page (932) when its output is not a
  # console; the terminal here wants UTF-8.
  scripts/with-wine.sh wine build/win32/bin/qlphost.exe demo "$tile" --out "$out/wine" | iconv -f CP932 -t UTF-8
fi

echo
echo "== native world: qlphost loads build/native/bin/srtm.qlp"
build/native/bin/qlphost demo "$tile" --out "$out"
[ "$wine_world" = 1 ] && echo "               (the Wine run's pictures: $out/wine/)"
awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "demo.sh        %.0f s with the builds\n", b - a }'
