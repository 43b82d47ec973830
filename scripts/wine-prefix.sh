#!/usr/bin/env bash
# Creates the 32-bit Wine prefix of scripts/wine-env.sh, or brings an existing one up to
# date: scripts/wine-prefix.reg.txt (font replacements, no window manager) is imported
# whenever it changed since the prefix last took it, so prefixes made by older
# checkouts get new settings too. Needs no display. Sourced by with-wine.sh; can be run
# on its own.
set -euo pipefail
_srtm_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$_srtm_here/wine-env.sh"

_srtm_reg_text="$_srtm_here/wine-prefix.reg.txt"
_srtm_stamp="$WINEPREFIX/.srtm-prefix-stamp"
_srtm_want=$(sha256sum "$_srtm_reg_text" | cut -d' ' -f1)

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: creating the prefix $WINEPREFIX" >&2
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i </dev/null >/dev/null 2>&1
fi

if [ "$(cat "$_srtm_stamp" 2>/dev/null || true)" != "$_srtm_want" ]; then
  # regedit reads UTF-16 with a byte-order mark and CR LF line ends.
  _srtm_reg="$WINEPREFIX/srtm-prefix.reg"
  { printf '\xff\xfe'; sed 's/$/\r/' "$_srtm_reg_text" | iconv -f UTF-8 -t UTF-16LE; } > "$_srtm_reg"
  wine regedit /S "$(winepath -w "$_srtm_reg")" </dev/null >/dev/null 2>&1
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
