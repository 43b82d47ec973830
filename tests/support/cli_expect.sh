# shellcheck shell=bash disable=SC2154
# What the command-line test scripts share (sourced; $runner set first: empty natively,
# wine-run.sh in the 32-bit world).
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# SRTM_TEST_FAIL_AFTER=CODE: every command exits with CODE after its run (see
# tests/support/check_command.cmake), and every check of an exit code must fail.
run() { $runner "$@"; local code=$?; return "${SRTM_TEST_FAIL_AFTER:-$code}"; }
# expect CODE [-m REGEX] CMD...: runs CMD, keeps its output in $out, checks its exit
# code and, with -m, that its output tells what failed.
expect() {
  local want=$1 message=
  shift
  if [ "$1" = -m ]; then message=$2; shift 2; fi
  out=$(run "$@" 2>&1); local got=$?
  out=${out//$'\r'/}  # the line ends of the Windows world
  [ "$got" = "$want" ] || fail "exit $got, wanted $want: $* -> $out"
  [ -z "$message" ] || grep -qE -- "$message" <<<"$out" || fail "no '$message' in the output of $* -> $out"
}
# has REGEX WHAT: the output of the last expect holds REGEX.
has() { grep -qE -- "$1" <<<"$out" || fail "$2: no '$1' in $out"; }
# usage_error COMMAND MESSAGE ARGS...: `srtm COMMAND ARGS...` exits 2 with MESSAGE (a
# regex) in its first line, then the command's usage lines and where its help is: no more.
usage_error() {
  local cmd=$1 message=$2
  shift 2
  expect 2 "$srtm" "$cmd" "$@"
  [[ $(head -n 1 <<<"$out") =~ ^srtm\ $cmd:\ $message ]] || fail "srtm $cmd $*: first line not '$message': $out"
  [[ $(sed -n 2p <<<"$out") == "Usage: srtm $cmd "* ]] || fail "srtm $cmd $*: no usage line after the message: $out"
  [ "$(tail -n 1 <<<"$out")" = "Try 'srtm $cmd --help' for more information." ] || fail "srtm $cmd $*: $out"
  [ "$(wc -l <<<"$out")" -le 5 ] || fail "srtm $cmd $* printed more than its usage: $out"
}
# finish LINE: prints LINE when every check passed; the script's exit code.
finish() {
  [ "$failures" = 0 ] && echo "$1"
  exit $((failures > 0))
}
