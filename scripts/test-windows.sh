#!/usr/bin/env bash
# Sets up, builds and runs the Windows world's tests on their own; scripts/test.sh runs
# it as one of its steps. The world is the one scripts/wine-works.sh finds here:
#   win32  where 32-bit programs run: the product's PE32 build (preset win32), every
#          test under 32-bit Wine;
#   win64  where they do not (or SRTM_WINDOWS_WORLD=64): the PE32 build is still made
#          and checked without running it (its PE headers, exports and imports; the host
#          records' 32-bit layout is asserted as it compiles), and the same sources built
#          as PE32+ (preset win64) run every test under 64-bit Wine, which needs no 32-bit
#          support.
# Where neither runs, the PE32 build is made and checked and the tests are skipped, with
# the reasons. With --both (scripts/test.sh's way), a machine that runs the 32-bit world
# runs the 64-bit one after it too, so that the fallback keeps working where nobody
# needs it yet. Warnings are errors when CI=true.
#   bash scripts/test-windows.sh [--both]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

both=0
case "${1:-}" in
  "") ;;
  --both) both=1 ;;
  *) echo "usage: bash scripts/test-windows.sh [--both]" >&2; exit 2 ;;
esac

bash scripts/setup.sh
jobs=$(nproc)
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
started=$SECONDS

# build PRESET: configures and builds one Windows world.
build() {
  cmake --preset "$1" -DSRTM_WERROR=$werror >/dev/null
  cmake --build "build/$1" -j"$jobs"
}
# start WORLD: starts the world's prefix in bounded time. Wine that answers must start
# it too (a machine that emulates 32-bit programs prints the version, then takes
# minutes over anything more); exit 124 when it did not in time.
start() { SRTM_WINE_WORLD=$1 timeout 300 scripts/with-wine.sh true; }
# run_win64: the same sources as PE32+, every test under 64-bit Wine.
run_win64() {
  echo "== win64 build (mingw-w64 x86_64: the same sources as PE32+)"
  build win64
  start win64 || { echo "64-bit Wine did not start its prefix (exit $?)"; exit 1; }
  echo "== win64 tests under 64-bit Wine$1"
  SRTM_WINE_WORLD=win64 scripts/with-wine.sh ctest --preset win64
}

echo "== win32 build (mingw-w64 i686: the product, PE32)"
build win32

reasons=$(mktemp)
trap 'rm -f "$reasons"' EXIT
world=$(bash scripts/wine-works.sh 2>"$reasons") || world=none
if [ "$world" = win32 ]; then
  start win32 || {
    code=$?
    [ $code -eq 124 ] || exit $code
    echo "the 32-bit world cannot run here: 32-bit Wine did not start its prefix within 300 s" >>"$reasons"
    world=$(bash scripts/wine-works.sh win64 2>>"$reasons" && echo win64) || world=none
  }
fi

case $world in
  win32)
    echo "== win32 tests under 32-bit Wine"
    scripts/with-wine.sh ctest --preset win32
    ;;
  win64|none)
    sed 's/^/== /' "$reasons"
    echo "== win32 checked without running it: its programs' PE headers, exports and imports"
    ctest --preset win32 -L '^pe$'
    if [ "$world" = none ]; then
      echo "SKIPPED: every Windows test that runs a program; the PE32 world was built and checked," \
           "neither world can run on this machine (see above)"
    else
      run_win64 ", in place of the win32 ones"
    fi
    ;;
esac
if [ $both -eq 1 ] && [ "$world" = win32 ]; then
  if why=$(bash scripts/wine-works.sh win64 2>&1); then
    run_win64 " as well, so that the fallback keeps working"
    world="win32 and win64"
  else
    echo "== the 64-bit world is not tried as well: $why"
  fi
fi
echo "== the Windows world: $world, $((SECONDS - started)) s"
