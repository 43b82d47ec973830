# Sourced: the environment of one Windows world under Wine, the one SRTM_WINE_WORLD names.
#   win32 (the default)  the product's PE32 programs under 32-bit Wine, in the prefix
#                        build/wineprefix (SRTM_WINEPREFIX overrides)
#   win64                the PE32+ build of the same sources under 64-bit Wine, which needs
#                        no 32-bit support, in the prefix build/wineprefix64
# Sets WINEPREFIX, WINEARCH, LANG and LC_ALL (ja_JP.UTF-8, so Wine's ANSI code page is
# 932), SRTM_WINE_LABEL (the world in words, for reports) and SRTM_WINE, the Wine that
# starts the world's programs and tools:
#   "$SRTM_WINE" prog.exe ARGS    "$SRTM_WINE" winepath -w PATH
_srtm_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Debian keeps both loaders here; its `wine` starts the 32-bit one whenever that is
# installed, so the 64-bit world names its loader itself. SRTM_WINE32_LOADER and
# SRTM_WINE64_LOADER name them elsewhere.
SRTM_WINE32_LOADER=${SRTM_WINE32_LOADER:-/usr/lib/wine/wine}
SRTM_WINE64_LOADER=${SRTM_WINE64_LOADER:-$(command -v wine64 2>/dev/null || echo /usr/lib/wine/wine64)}
case "${SRTM_WINE_WORLD:=win32}" in
  win32)
    export WINEPREFIX=${SRTM_WINEPREFIX:-$_srtm_root/build/wineprefix} WINEARCH=win32
    SRTM_WINE=wine
    SRTM_WINE_LABEL="PE32 under 32-bit Wine"
    ;;
  win64)
    export WINEPREFIX=$_srtm_root/build/wineprefix64 WINEARCH=win64
    # Programs that Wine starts in turn (its services) take the same loader.
    export WINELOADER=$SRTM_WINE64_LOADER
    SRTM_WINE=$SRTM_WINE64_LOADER
    SRTM_WINE_LABEL="x86-64 under 64-bit Wine"
    ;;
  *)
    echo "SRTM_WINE_WORLD is win32 or win64, not '$SRTM_WINE_WORLD'" >&2
    return 2
    ;;
esac
export SRTM_WINE_WORLD SRTM_WINE
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
