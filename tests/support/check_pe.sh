#!/usr/bin/env bash
# Checks a Windows program or DLL without running it, from its PE headers, exports and
# imports as objdump reads them: what Windows looks at when it loads the file.
#   check_pe.sh FILE [--pe32|--pe32+] [--gui|--console] [--dll] [--stripped]
#               [--exports "NAME..."] [--imports "DLL..."]
#   --pe32, --pe32+   the format (default --pe32: 32-bit x86, what the host loads)
#   --gui, --console  the subsystem
#   --dll             a DLL
#   --stripped        no symbols and no debug sections (a release build)
#   --exports         exports exactly these names
#   --imports         imports each of these DLLs and, besides them, Windows' own only
#                     (no C or C++ runtime DLL: a user's Windows may lack them)
# Prints what it found and each fault; exits 1 on any fault.
set -uo pipefail
export LC_ALL=C LANG=C  # objdump speaks the locale's language otherwise
file=$1
shift
format=pei-i386 magic=PE32 subsystem="" dll=0 stripped=0 exports="" imports="" faults=0
while [ $# -gt 0 ]; do
  case $1 in
    --pe32) format=pei-i386 magic=PE32 ;;
    --pe32+) format=pei-x86-64 magic=PE32+ ;;
    --gui) subsystem=GUI ;;
    --console) subsystem=CUI ;;
    --dll) dll=1 ;;
    --stripped) stripped=1 ;;
    --exports) exports=$2; shift ;;
    --imports) imports=$2; shift ;;
    *) echo "check_pe.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
fault() { echo "FAULT: $(basename "$file"): $*"; faults=$((faults + 1)); }

# Debian's objdump reads both formats. Its output is kept whole (a grep -q ending a pipe
# early would fail it under pipefail).
dump=$(objdump -p -h "$file") || { echo "FAULT: objdump cannot read $file"; exit 1; }
grep -q "file format $format\$" <<<"$dump" || fault "not $format: $(grep -m1 'file format' <<<"$dump")"
[ "$(awk '/^Magic/{print $NF}' <<<"$dump")" = "($magic)" ] || fault "the optional header is not $magic"
if [ -n "$subsystem" ]; then
  grep -q "^Subsystem.*(Windows $subsystem)" <<<"$dump" || fault "not of the Windows $subsystem subsystem"
fi
if [ $dll -eq 1 ]; then
  grep -qx $'\tDLL' <<<"$dump" || fault "not a DLL"
fi
if [ $stripped -eq 1 ]; then
  grep -q 'symbols stripped' <<<"$dump" && ! grep -q '\.debug' <<<"$dump" || fault "not stripped"
fi

if [ -n "$exports" ]; then
  found=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on && NF==0{on=0}' <<<"$dump" |
          sort | tr '\n' ' ')
  want=$(tr ' ' '\n' <<<"$exports" | grep . | sort | tr '\n' ' ')
  echo "exports: $found"
  [ "$found" = "$want" ] || fault "exports $found instead of $want"
fi

found=$(awk '/DLL Name:/{print $3}' <<<"$dump" | sort -fu | tr '\n' ' ')
echo "imports: $found"
for dll_name in $imports; do
  grep -qiw -- "$dll_name" <<<"$found" || fault "does not import $dll_name"
done
for dll_name in $found; do
  case "${dll_name,,}" in
    kernel32.dll|user32.dll|gdi32.dll|comdlg32.dll|comctl32.dll|shell32.dll|advapi32.dll|msvcrt.dll|ole32.dll|api-ms-win-*) ;;
    *) grep -qiw -- "$dll_name" <<<"$imports" || fault "imports $dll_name" ;;
  esac
done

[ $faults -eq 0 ] || exit 1
echo "PE checks passed: $(basename "$file") is $magic$([ -n "$subsystem" ] && echo ", $subsystem")$([ $dll -eq 1 ] && echo ", a DLL")"
