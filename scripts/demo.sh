#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds both worlds and runs the main job on the
# bundled data: the stand-in host loads each srtm.qlp and prints what it registered.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
jobs=$(nproc)
cmake --preset native -DSRTM_BUILD_TESTS=OFF -DSRTM_BUILD_BENCH=OFF >/dev/null
cmake --build build/native -j"$jobs" >/dev/null
cmake --preset win32 -DSRTM_BUILD_TESTS=OFF >/dev/null
cmake --build build/win32 -j"$jobs" >/dev/null

echo "== native: qlphost loads build/native/bin/srtm.qlp"
build/native/bin/qlphost info
echo
echo "== 32-bit Windows under Wine: qlphost.exe loads build/win32/bin/srtm.qlp"
scripts/with-wine.sh wine build/win32/bin/qlphost.exe info
