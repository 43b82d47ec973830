#!/usr/bin/env bash
# Tells which Windows world runs on this machine under Wine.
#   scripts/wine-works.sh          prints win32 or win64, the world to test in: win32 (the
#                                  product, PE32 under 32-bit Wine) where it runs, else win64
#                                  (the same sources as PE32+ under 64-bit Wine, which needs
#                                  no 32-bit support); exits 1 saying why when neither runs
#   scripts/wine-works.sh WORLD    exits 0 when WORLD (win32 or win64) runs, else says why
#   scripts/wine-works.sh i386     exits 0 when this machine runs 32-bit x86 programs at all
# Reasons go to stderr. Some machines run no 32-bit programs: the kernel answers "Exec
# format error" to every i386 program, Wine's 32-bit loader among them, or that loader is
# not installed. SRTM_WINDOWS_WORLD=64 sets the 32-bit world aside, so that the 64-bit
# one can be tried on a machine that runs both.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SRTM_WINE_WORLD=win32 source "$root/scripts/wine-env.sh"  # for the loaders' paths
export LC_ALL=C LANG=C  # the system's messages in the reasons, in English

# A complete 32-bit x86 Linux program of 96 bytes (an ELF header, one loadable segment,
# then mov eax,1; mov ebx,42; int 0x80: exit(42)), written into the checkout's build
# folder, whose programs must run anyway (/tmp may be mounted noexec). 42 tells
# that it really ran: a binfmt_misc entry that hands i386 programs to another program
# gives that program's status instead.
runs_i386() {
  local probe=$root/build/.i386-probe.$$ out code elf
  mkdir -p "$root/build"
  elf='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'
  elf+='\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00'
  elf+='\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
  elf+='\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
  elf+='\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'
  printf "$elf" > "$probe" && chmod +x "$probe"
  out=$("$probe" 2>&1); code=$?
  rm -f "$probe"
  [ "$code" -eq 42 ] && return 0
  echo "this machine runs no 32-bit programs (a 32-bit program: $(failure "$out" $code))" >&2
  return 1
}

# What a program that failed with output $1 and status $2 answered: the system's last
# word ("Exec format error"), else its status.
failure() { local last=${1##*: }; echo "${last:-exit $2}"; }

# loader_runs BITS LOADER PACKAGE: the Wine loader of the BITS-bit world is there and starts.
loader_runs() {
  local out
  if [ ! -x "$2" ]; then
    echo "the $1-bit world cannot run here: $1-bit Wine is not installed ($2; scripts/setup.sh installs $3)" >&2
    return 1
  fi
  out=$("$2" --version 2>&1) || {
    echo "the $1-bit world cannot run here: $1-bit Wine does not start ($(failure "$out" $?))" >&2; return 1; }
}

world_runs() {
  local out
  case "$1" in
    win32)
      if [ "${SRTM_WINDOWS_WORLD:-}" = 64 ]; then
        echo "the 32-bit world is set aside by SRTM_WINDOWS_WORLD=64" >&2; return 1
      fi
      out=$(runs_i386 2>&1) || { echo "the 32-bit world cannot run here: $out" >&2; return 1; }
      loader_runs 32 "$SRTM_WINE32_LOADER" wine32:i386
      ;;
    win64) loader_runs 64 "$SRTM_WINE64_LOADER" wine64 ;;
    *) echo "usage: scripts/wine-works.sh [win32|win64|i386]" >&2; return 2 ;;
  esac
}

case "${1:-}" in
  "")
    if [ -n "${SRTM_WINDOWS_WORLD:-}" ] && [ "$SRTM_WINDOWS_WORLD" != 64 ]; then
      echo "SRTM_WINDOWS_WORLD is 64 or unset, not '$SRTM_WINDOWS_WORLD'" >&2; exit 2
    fi
    reason32=$(world_runs win32 2>&1) && { echo win32; exit 0; }
    reason64=$(world_runs win64 2>&1) && { echo "$reason32" >&2; echo win64; exit 0; }
    echo "$reason32; $reason64" >&2
    exit 1
    ;;
  i386) runs_i386 ;;
  *) world_runs "$1" ;;
esac
