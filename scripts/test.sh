#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test: the native world, then the
# 32-bit Windows world under Wine. Warnings are errors when CI=true.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
jobs=$(nproc)
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON

echo "== native build"
cmake --preset native -DSRTM_WERROR=$werror >/dev/null
cmake --build build/native -j"$jobs"
echo "== native tests"
ctest --preset native -j"$jobs"

echo "== win32 build (mingw-w64 i686)"
cmake --preset win32 -DSRTM_WERROR=$werror >/dev/null
cmake --build build/win32 -j"$jobs"
echo "== win32 tests under Wine"
scripts/with-wine.sh ctest --preset win32
