#!/usr/bin/env bash
# Checks the PE32 plug-in: it exports exactly Create, Load, Close, Release and About,
# and imports PluginIf.dll and Windows' own DLLs only (no C or C++ runtime DLLs).
set -euo pipefail
export LC_ALL=C LANG=C  # objdump speaks the locale's language otherwise
plugin=$1
dump=$(i686-w64-mingw32-objdump -p "$plugin")

grep -q 'file format pei-i386' <<<"$(i686-w64-mingw32-objdump -f "$plugin")" || { echo "not PE32: $plugin"; exit 1; }

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on && NF==0{on=0}' <<<"$dump" | sort | tr '\n' ' ')
echo "exports: $exports"
[ "$exports" = "About Close Create Load Release " ] || { echo "unexpected exports"; exit 1; }

imports=$(awk '/DLL Name:/{print $3}' <<<"$dump" | sort -u | tr '\n' ' ')
echo "imports: $imports"
grep -q 'PluginIf.dll' <<<"$imports" || { echo "PluginIf.dll is not imported"; exit 1; }
for dll in $imports; do
  case "${dll,,}" in
    pluginif.dll|kernel32.dll|user32.dll|gdi32.dll|comdlg32.dll|comctl32.dll|shell32.dll|advapi32.dll|msvcrt.dll|ole32.dll|api-ms-win-*) ;;
    *) echo "unexpected import: $dll"; exit 1 ;;
  esac
done
echo "PE32 plug-in imports and exports are as required"
