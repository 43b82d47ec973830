# Sourced: the environment for running the 32-bit world under Wine.
#   WINEPREFIX  the checkout's own 32-bit prefix, build/wineprefix (SRTM_WINEPREFIX overrides)
#   LANG        ja_JP.UTF-8, so Wine's ANSI code page is 932
_srtm_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${SRTM_WINEPREFIX:-$_srtm_root/build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
