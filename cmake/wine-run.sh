#!/usr/bin/env bash
# Runs a Windows program of a build under the Wine of its kind: a PE32 program under
# 32-bit Wine, a PE32+ one under 64-bit Wine, each in its world's own prefix with code
# page 932 (Japanese), so the plug-in's Shift-JIS texts reach the system intact.
# scripts/with-wine.sh prepares the prefix and keeps a wineserver running for speed.
#   wine-run.sh PROGRAM.exe ARGS...
set -e
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The machine field of the PE header, whose offset the DOS header holds at 0x3C.
pe=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
case $(od -An -t x2 -j $((pe + 4)) -N 2 "$1" | tr -d ' ') in
  8664) export SRTM_WINE_WORLD=win64 ;;
  *) export SRTM_WINE_WORLD=win32 ;;
esac
source "$here/../scripts/wine-env.sh"
# Outside scripts/with-wine.sh, the fixed address layout it gives (see there) is taken here.
if [ -z "${SRTM_WINE_FIXED_LAYOUT:-}" ] && setarch "$(uname -m)" -R true 2>/dev/null; then
  exec setarch "$(uname -m)" -R "$SRTM_WINE" "$@"
fi
exec "$SRTM_WINE" "$@"
