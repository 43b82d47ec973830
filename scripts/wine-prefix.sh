#!/usr/bin/env bash
# Creates the Wine prefix of the world scripts/wine-env.sh sets up (SRTM_WINE_WORLD), or
# brings an existing one up to date: scripts/wine-prefix.reg.txt (font replacements, no
# window manager) is imported whenever it changed since the prefix last took it, so
# prefixes made by older checkouts get new settings too, and Wine's Marlett is put into
# the prefix's Fonts folder (see below). Needs no display. Sourced by with-wine.sh; can
# be run on its own.
set -euo pipefail
_srtm_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$_srtm_here/wine-env.sh"

_srtm_reg_text="$_srtm_here/wine-prefix.reg.txt"
_srtm_stamp="$WINEPREFIX/.srtm-prefix-stamp"
_srtm_want=$(sha256sum "$_srtm_reg_text" | cut -d' ' -f1)

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: creating the prefix $WINEPREFIX" >&2
  mkdir -p "$(dirname "$WINEPREFIX")"
  "$SRTM_WINE" wineboot -i </dev/null >/dev/null 2>&1
fi

if [ "$(cat "$_srtm_stamp" 2>/dev/null || true)" != "$_srtm_want" ]; then
  # regedit reads UTF-16 with a byte-order mark and CR LF line ends.
  _srtm_reg="$WINEPREFIX/srtm-prefix.reg"
  { printf '\xff\xfe'; sed 's/$/\r/' "$_srtm_reg_text" | iconv -f UTF-8 -t UTF-16LE; } > "$_srtm_reg"
  "$SRTM_WINE" regedit /S "$("$SRTM_WINE" winepath -w "$_srtm_reg")" </dev/null >/dev/null 2>&1
  # The registry reaches the disk only when the server that holds it ends.
  wineserver -w
  for _srtm_key in 'Fonts\\Replacements' 'X11 Driver'; do
    if ! grep -qF "[Software\\\\Wine\\\\$_srtm_key]" "$WINEPREFIX/user.reg"; then
      echo "wine: the prefix did not take the key $_srtm_key" >&2
      exit 1
    fi
  done
  echo "$_srtm_want" > "$_srtm_stamp"
fi

# Wine draws the buttons of window frames (the close box) with its font Marlett, one of
# Wine's own fonts (fonts-wine). Debian's Wine 8 looks for those under
# Z:\usr\share\wine\../fonts, a name no folder has (a "/" separates nothing in a Windows
# path), so it finds none of them and draws the letters that stand for the glyphs ("r"
# for the close box) in another font. The prefix's own Fonts folder is always read.
_srtm_marlett=/usr/share/wine/fonts/marlett.ttf
if ! cmp -s "$_srtm_marlett" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"; then
  if [ ! -f "$_srtm_marlett" ]; then
    echo "wine: $_srtm_marlett is missing (scripts/setup.sh installs fonts-wine)" >&2
    exit 1
  fi
  cp "$_srtm_marlett" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
fi
