#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine, in the build's own Wine prefix with code
# page 932 (Japanese), so the plug-in's Shift-JIS texts reach the system intact.
# scripts/wine-env.sh prepares the prefix and keeps a wineserver running for speed.
set -e
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../scripts/wine-env.sh"
exec wine "$@"
