#!/usr/bin/env bash
# Runs a command in a Windows world under Wine (SRTM_WINE_WORLD: win32, the default, or
# win64; see wine-env.sh): creates the world's prefix or brings it up to date
# (scripts/wine-prefix.sh: code page 932, the dialog fonts replaced by IPA Gothic, no
# window manager), starts Xvfb when there is no display, keeps one wineserver running
# for the whole command (a warm Wine start is ~0.07 s instead of ~3 s), and stops what
# it started.
#   scripts/with-wine.sh ctest --test-dir build/win32
#   SRTM_WINE_WORLD=win64 scripts/with-wine.sh ctest --test-dir build/win64
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Debian's Wine has no preloader to keep the low address space free for Windows, so with
# address randomisation about one program start in a thousand or two ends at once with exit 1
# and no word (WINEDEBUG=-all hides Wine's own complaint), before it reaches the
# wineserver. With a fixed layout, which every program started from here inherits, it
# never did in 4,800 starts. Where the system forbids that (some containers), as before.
if [ -z "${SRTM_WINE_FIXED_LAYOUT:-}" ] && setarch "$(uname -m)" -R true 2>/dev/null; then
  export SRTM_WINE_FIXED_LAYOUT=1
  exec setarch "$(uname -m)" -R bash "${BASH_SOURCE[0]}" "$@"
fi
source "$here/wine-env.sh"

started_xvfb=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$started_xvfb" ] && kill "$started_xvfb" 2>/dev/null || true
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    started_xvfb=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    break
  done
fi

source "$here/wine-prefix.sh"
wineserver -p >/dev/null 2>&1
# Start Wine's background services now, detached from our output: started by the first
# test program instead, they would inherit its pipes and keep CTest waiting.
"$SRTM_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
"$@"
