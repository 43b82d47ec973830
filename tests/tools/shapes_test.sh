#!/usr/bin/env bash
# Every command as users run it on Linux: Japanese folder names whose last character
# pairs with the separator under the code-page-932 rule, redirections, closed
# descriptors, two runs into one folder, links, loops, outputs that are inputs, signals
# (SIGXFSZ too), modes and owners, read-only and long folders. One table: each row runs
# its command in a fresh folder and checks the exit code, every file left there (type
# and name, hidden temporary files included), and what else it names.
#   [SHAPES=REGEX] shapes_test.sh SRTM QLPHOST SRTM-DEMO N57E011.hgt
set -uo pipefail
export srtm=$(realpath "$1") qlphost=$(realpath "$2") demo=$(realpath "$3")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"  # the rows run as another user reach it
mkdir "$work/in"
export work T=$work/in/N57E011.hgt X=$work/in/x/N57E011.xem B=507532000 J=テスト OUT=$work/out
cp "$4" "$T"
mkdir "$work/in/x"
"$srtm" compress "$T" -o "$work/in/x" --quiet >/dev/null || { echo "FAIL: cannot make $X"; exit 1; }
"$srtm" block "$T" "$B" -o "$work/in/block.raw" >/dev/null || { echo "FAIL: cannot serve block $B"; exit 1; }
sums=$(cd "$work/in" && md5sum -- *.hgt *.raw x/*)

# Helpers the rows use: a copy of the tile in a folder; an XEM file that reads; a command
# run as a user other than the superuser (whom permissions do not stop); a signal
# delivered as the first output is about to be written, its temporary file made (gdb;
# leaks are not looked for under a debugger); the served block.
tile() { mkdir -p "$1" && cp "$T" "$1/${2:-N57E011.hgt}"; }
valid() { "$srtm" info "$1" >/dev/null; }
as_user() { if [ "$(id -u)" = 0 ]; then setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; else "$@"; fi; }
sig() {
  local s=$1
  shift
  ASAN_OPTIONS=detect_leaks=0 gdb -q -nx -batch -ex 'set breakpoint pending on' \
    -ex 'break srtm::platform::OutputFile::Write' -ex run -ex delete -ex "signal SIG$s" -ex 'quit $_exitcode' --args "$@"
}
block_is() { cmp -s "$1" "$work/in/block.raw"; }
export -f tile valid as_user sig block_is

# needs: what a row needs beyond bash (gdb; root to give a file to another user).
can_gdb=yes
gdb -q -nx -batch -ex run --args true >/dev/null 2>&1 || can_gdb="gdb cannot run a program here"
command -v gdb >/dev/null || can_gdb="gdb is not installed (scripts/setup.sh installs it)"
can_root=yes
[ "$(id -u)" = 0 ] || can_root="only the superuser may give a file to another user"

# name │ needs │ setup │ command │ exit │ files left in the folder (f file, d folder, l link, p pipe; "any": not
# compared) │ check
table=$(cat <<'TABLE'
classify in J │ │ tile $J │ $srtm classify $J/N57E011.hgt │ 0 │ d:テスト f:テスト/N57E011.hgt │ grep -q "N57E011.hgt: SRTM-3 tile" $OUT
block into J │ │ mkdir $J │ $srtm block $T $B -o $J/x.raw │ 0 │ d:テスト f:テスト/x.raw │ block_is $J/x.raw
decode in J │ │ mkdir $J; cp $X $J │ $srtm decode $J/N57E011.xem -o $J/N57E011.hgt │ 0 │ d:テスト f:テスト/N57E011.xem f:テスト/N57E011.hgt │ [ $(stat -c %s $J/N57E011.hgt) = 2884802 ]
render in J │ │ tile $J │ $srtm render $J/N57E011.hgt -o $J/r.png --scale 8 │ 0 │ d:テスト f:テスト/N57E011.hgt f:テスト/r.png │ grep -q "150 x 150 pixels" $OUT
compress J into J │ │ tile $J; mkdir $J/出力 │ $srtm compress $J -o $J/出力 --quiet │ 0 │ d:テスト f:テスト/N57E011.hgt d:テスト/出力 f:テスト/出力/N57E011.xem │ valid $J/出力/N57E011.xem
import into J │ │ │ $srtm import $T -o $J --quiet │ 0 │ d:テスト f:テスト/N57E011.hgt │ cmp $T $J/N57E011.hgt
qlphost in J │ │ tile $J │ $qlphost block $J/N57E011.hgt $B -o $J/q.raw │ 0 │ d:テスト f:テスト/N57E011.hgt f:テスト/q.raw │ block_is $J/q.raw
demo into J │ │ │ $demo $T --out $J │ 0 │ d:テスト f:テスト/1-served-sea-0m.png f:テスト/2-served-sea-25m.png f:テスト/3-xem-sea-25m.png d:テスト/tiles f:テスト/tiles/N57E011.hgt d:テスト/xem f:テスト/xem/N57E011.xem │ grep -q "demo finished$" $OUT
backslash in a name │ │ mkdir back │ $srtm block $T $B -o 'back\slash.raw' │ 0 │ d:back f:back\slash.raw │ block_is 'back\slash.raw'
/dev/stdout appended │ │ echo earlier > log │ $srtm block $T $B -o /dev/stdout >> log │ 0 │ f:log │ [ "$(head -1 log)" = earlier ] && [ $(stat -c %s log) = 204808 ] && grep -q "^size: 433200" $OUT
qlphost to /dev/stdout appended │ │ echo earlier > log │ $qlphost block $T $B -o /dev/stdout >> log │ 0 │ f:log │ [ "$(head -1 log)" = earlier ] && [ $(stat -c %s log) = 204808 ] && grep -q "2012 -> 1" $OUT
/dev/fd/1 into a pipe │ │ │ $srtm block $T $B -o /dev/fd/1 | cat > p.raw │ 0 │ f:p.raw │ block_is p.raw
/proc/self/fd/1 redirected │ │ │ $srtm block $T $B -o /proc/self/fd/1 > r.raw │ 0 │ f:r.raw │ block_is r.raw && grep -q "^size: 433200" $OUT
file standard output goes to │ │ │ $srtm block $T $B -o same.raw > same.raw │ 0 │ f:same.raw │ block_is same.raw && grep -q "^size: 433200" $OUT
decode to standard output │ │ │ $srtm decode $X -o - > g.raw │ 0 │ f:g.raw │ [ $(stat -c %s g.raw) = 2880000 ]
data to a full device │ │ │ $srtm block $T $B -o - > /dev/full │ 4 │ │ grep -q "standard output: No space left on device" $OUT
lines to a full device │ │ │ $srtm classify $T > /dev/full; [ $? = 4 ] || exit 9; $srtm info $X > /dev/full │ 4 │ │ [ $(grep -c "standard output: No space left on device" $OUT) = 2 ]
-o a full device │ │ │ $srtm render $T -o /dev/full --scale 8 │ 4 │ │ grep -q "/dev/full: No space left on device" $OUT && [ -c /dev/full ]
stderr closed │ │ for n in {40..51}; do tile in N${n}E011.hgt; done; mkdir out │ $srtm compress in -o out --jobs 2 2>&- │ 0 │ any │ [ $(ls -A out | wc -l) = 12 ] && ! grep -q "compress:" out/*
stdin and stderr closed │ │ for n in {40..51}; do tile in N${n}E011.hgt; done │ $srtm import in/* -o o --jobs 2 <&- 2>&- │ 0 │ any │ [ $(ls -A o | wc -l) = 12 ] && ! grep -q "import:" o/* && cmp $T o/N51E011.hgt
demo with stdout closed │ │ │ $demo $T --out o >&- │ 0 │ d:o f:o/1-served-sea-0m.png f:o/2-served-sea-25m.png f:o/3-xem-sea-25m.png d:o/tiles f:o/tiles/N57E011.hgt d:o/xem f:o/xem/N57E011.xem │ cmp $T o/tiles/N57E011.hgt && valid o/xem/N57E011.xem
two runs into one folder │ │ for n in 57 58 59 60 61 62; do tile in N${n}E011.hgt; done; mkdir out │ $srtm compress in -o out --quiet --jobs 1 & $srtm compress in -o out --quiet --jobs 1; a=$?; wait $!; exit $((a | $?)) │ 0 │ any │ for n in 57 58 59 60 61 62; do valid out/N${n}E011.xem || exit 1; done; [ $(ls -A out | wc -l) = 6 ]
link followed and kept │ │ echo old > real.raw; ln -s real.raw link.raw │ $srtm block $T $B -o link.raw │ 0 │ f:real.raw l:link.raw │ block_is real.raw
link to nothing yet │ │ ln -s made.raw dangling.raw │ $srtm block $T $B -o dangling.raw │ 0 │ f:made.raw l:dangling.raw │ block_is made.raw
loop of links │ │ ln -s b a; ln -s a b │ $srtm block $T $B -o a │ 4 │ l:a l:b │ grep -q "a: Too many levels of symbolic links" $OUT
render over its tile │ │ tile d │ $srtm render d/N57E011.hgt -o d/N57E011.hgt │ 2 │ d:d f:d/N57E011.hgt │ cmp $T d/N57E011.hgt && grep -q "is the input" $OUT
block over its tile by a link │ │ tile d; ln -s d/N57E011.hgt l.hgt │ $srtm block d/N57E011.hgt 1 -o l.hgt │ 2 │ d:d f:d/N57E011.hgt l:l.hgt │ cmp $T d/N57E011.hgt
block over its tile by a hard link │ │ tile d; ln d/N57E011.hgt h.raw │ $srtm block d/N57E011.hgt 1 -o h.raw │ 2 │ d:d f:d/N57E011.hgt f:h.raw │ cmp $T h.raw
block over a tile of its map │ │ tile d; tile d N58E011.hgt │ $srtm block d/N57E011.hgt 1 -o d/N58E011.hgt │ 2 │ d:d f:d/N57E011.hgt f:d/N58E011.hgt │ cmp $T d/N58E011.hgt
decode over its XEM file │ │ mkdir d; cp $X d; ln d/N57E011.xem d/same.raw │ $srtm decode d/N57E011.xem -o d/same.raw │ 2 │ d:d f:d/N57E011.xem f:d/same.raw │ valid d/N57E011.xem && grep -q "is the input" $OUT
the old temporary name taken │ │ tile in; mkdir out; echo secret > away; ln -s ../away out/N57E011.xe~ │ $srtm compress in -o out --quiet │ 0 │ f:away d:in f:in/N57E011.hgt d:out f:out/N57E011.xem l:out/N57E011.xe~ │ [ "$(cat away)" = secret ] && valid out/N57E011.xem
XEM file by a link │ │ tile in; mkdir out xem; ln -s ../xem/a.xem out/N57E011.xem │ $srtm compress in -o out --quiet │ 0 │ d:in f:in/N57E011.hgt d:out l:out/N57E011.xem d:xem f:xem/a.xem │ valid xem/a.xem
block into a pipe │ │ mkfifo pipe; { timeout 60 cat pipe > got.raw & } │ $srtm block $T $B -o pipe │ 0 │ p:pipe f:got.raw │ timeout 10 bash -c 'until block_is got.raw; do sleep 0.1; done'
XEM file into a pipe │ │ tile in; mkdir out; mkfifo out/N57E011.xem; { timeout 60 cat out/N57E011.xem > got.xem & } │ $srtm compress in -o out --quiet │ 0 │ d:in f:in/N57E011.hgt d:out p:out/N57E011.xem f:got.xem │ timeout 10 bash -c 'until cmp -s got.xem $X; do sleep 0.1; done'
tile into a pipe, opened once │ │ mkdir o; mkfifo o/N57E011.hgt; { timeout 60 cat o/N57E011.hgt > got.hgt & } │ $srtm import $T -o o --quiet │ 0 │ d:o p:o/N57E011.hgt f:got.hgt │ timeout 10 bash -c 'until cmp -s got.hgt $T; do sleep 0.1; done'
SIGTERM while block writes │ gdb │ │ sig TERM $srtm block $T $B -o b.raw │ 143 │ │
SIGINT while block writes │ gdb │ echo old > b.raw │ sig INT $srtm block $T $B -o b.raw │ 130 │ f:b.raw │ [ "$(cat b.raw)" = old ]
SIGHUP while render writes │ gdb │ │ sig HUP $srtm render $T -o r.png --scale 8 │ 129 │ │
SIGPIPE while decode writes │ gdb │ │ sig PIPE $srtm decode $X -o d.hgt │ 141 │ │
SIGINT while the demo copies │ gdb │ │ sig INT $demo $T --out o │ 130 │ d:o d:o/tiles d:o/xem │
SIGTERM while compress writes │ gdb │ tile in; mkdir out │ sig TERM $srtm compress in -o out --quiet │ 143 │ d:in f:in/N57E011.hgt d:out │
SIGHUP as import writes its last tile (nothing left to stop) │ gdb │ │ sig HUP $srtm import $T -o o --quiet │ 0 │ d:o f:o/N57E011.hgt │ cmp $T o/N57E011.hgt
SIGPIPE on compress's progress │ │ for n in 57 58 59 60; do tile in N${n}E011.hgt; done; mkdir out │ $srtm compress in -o out --jobs 1 2>&1 | head -c 1 >/dev/null │ 141 │ any │ for f in out/*; do [ ! -e $f ] || valid $f || exit 1; done
file-size limit for block │ │ │ ulimit -f 100; $srtm block $T $B -o b.raw │ 4 │ │ grep -q "b.raw: File too large" $OUT
file-size limit for compress │ │ tile in; mkdir out │ ulimit -f 50; $srtm compress in -o out --quiet │ 4 │ d:in f:in/N57E011.hgt d:out │ grep -q "N57E011.hgt: not converted: .*N57E011.xem: File too large" $OUT
file-size limit for the demo │ │ │ ulimit -f 1000; $demo $T --out o │ 4 │ d:o d:o/tiles d:o/xem │ grep -q "N57E011.hgt: File too large" $OUT
mode kept │ │ echo old > m.raw; chmod 600 m.raw │ $srtm block $T $B -o m.raw │ 0 │ f:m.raw │ [ $(stat -c %a m.raw) = 600 ] && block_is m.raw
mode of an XEM file kept │ │ tile in; mkdir out; echo old > out/N57E011.xem; chmod 640 out/N57E011.xem │ $srtm compress in -o out --quiet │ 0 │ d:in f:in/N57E011.hgt d:out f:out/N57E011.xem │ [ $(stat -c %a out/N57E011.xem) = 640 ]
new file by the umask │ │ │ umask 027; $srtm block $T $B -o n.raw │ 0 │ f:n.raw │ [ $(stat -c %a n.raw) = 640 ]
owner and group kept │ root │ echo old > o.raw; chown 65534:65534 o.raw │ $srtm block $T $B -o o.raw │ 0 │ f:o.raw │ [ "$(stat -c %u:%g o.raw)" = 65534:65534 ] && block_is o.raw
read-only output folder │ │ tile in; mkdir ro; chmod 555 ro │ as_user $srtm compress in -o ro --quiet │ 4 │ d:in f:in/N57E011.hgt d:ro │ grep -q "output folder ro cannot be written (Permission denied)" $OUT
output folder a file │ │ │ $srtm compress $T -o $T --quiet │ 4 │ │ grep -q "N57E011.hgt cannot be made (a file of that name is there: Not a directory)" $OUT
output folder a device │ │ │ $srtm compress $T -o /dev/full --quiet │ 4 │ │ grep -q "/dev/full cannot be made (a file of that name is there: Not a directory)" $OUT
long output folder │ │ mkdir -p $(printf 'a%.0s' {1..200})/$(printf 'b%.0s' {1..200}) │ $srtm compress $T -o a*/b* --quiet │ 0 │ any │ valid a*/b*/N57E011.xem
demo refuses a long folder │ │ mkdir -p $(printf 'a%.0s' {1..250}) │ $demo $T --out $PWD/a* │ 4 │ any │ grep -q "at most 259 bytes" $OUT && [ -z "$(ls -A a*)" ]
demo keeps a pipe │ │ mkdir -p o/tiles; mkfifo o/tiles/N57E011.hgt │ $demo $T --out o │ 4 │ d:o d:o/tiles p:o/tiles/N57E011.hgt │ grep -q "not a file the demo made" $OUT
demo refuses before it touches │ │ mkdir -p o/tiles o/xem; echo mine > o/xem/notes; echo old > o/tiles/N57E011.hgt │ $demo $T --out o │ 4 │ d:o d:o/tiles f:o/tiles/N57E011.hgt d:o/xem f:o/xem/notes │ [ "$(cat o/tiles/N57E011.hgt)" = old ]
demo after a killed run │ │ mkdir -p o/xem; : > o/xem/.N57E011.xem.~0123ABCD │ $demo $T --out o │ 4 │ d:o d:o/xem f:o/xem/.N57E011.xem.~0123ABCD │ grep -q "killed" $OUT
demo run twice │ │ $demo $T --out o > /dev/null │ $demo $T --out o │ 0 │ d:o f:o/1-served-sea-0m.png f:o/2-served-sea-25m.png f:o/3-xem-sea-25m.png d:o/tiles f:o/tiles/N57E011.hgt d:o/xem f:o/xem/N57E011.xem │ grep -q "demo finished$" $OUT
TABLE
)

failures=0 skipped=0 rows=0
fail() { echo "FAIL: $row: $*"; sed 's/^/    | /' "$OUT" | head -20; failures=$((failures + 1)); }
listing() { find . -mindepth 1 -printf '%y:%P\n' | LC_ALL=C sort | tr '\n' ' '; }
while IFS= read -r line; do
  [ -n "$line" ] || continue
  IFS=$'\x1f' read -r row needs setup command want files check <<<"${line//│/$'\x1f'}"
  for v in row needs setup command want files check; do
    declare "$v=$(sed 's/^ *//; s/ *$//' <<<"${!v}")"
  done
  rows=$((rows + 1))
  # SHAPES=REGEX runs only the rows whose names match.
  [[ $row =~ ${SHAPES:-.} ]] || continue
  why=
  [ "$needs" = gdb ] && [ "$can_gdb" != yes ] && why=$can_gdb
  [ "$needs" = root ] && [ "$can_root" != yes ] && why=$can_root
  if [ -n "$why" ]; then
    echo "SKIP: $row: $why"
    skipped=$((skipped + 1))
    continue
  fi
  case=$work/case$rows
  mkdir "$case" && chmod 755 "$case" && cd "$case" || exit 1
  bash -c "$setup" >/dev/null 2>&1 || { fail "its setup failed: $setup"; continue; }
  timeout -k 10 300 bash -o pipefail -c "$command" >"$OUT" 2>&1 </dev/null
  got=$?
  [ "$got" = "$want" ] || fail "exit $got, wanted $want"
  left=$(listing)
  if [ "$files" != any ]; then
    wanted=$(tr ' ' '\n' <<<"$files" | grep -v '^$' | LC_ALL=C sort | tr '\n' ' ')
    [ "$left" = "$wanted" ] || fail "left [$left], wanted [$wanted]"
  fi
  # No temporary file is ever left, whatever the row.
  if find . -name '.*~*' ! -name '.N57E011.xem.~0123ABCD' | grep -q .; then fail "a temporary file is left: $left"; fi
  [ -z "$check" ] || bash -c "$check" >/dev/null 2>&1 || fail "check failed: $check"
done <<<"$table"

cd "$work/in" && [ "$(md5sum -- *.hgt *.raw x/*)" = "$sums" ] || { echo "FAIL: an input changed"; failures=$((failures + 1)); }
echo "$rows rows, $failures failed, $skipped skipped"
[ "$failures" = 0 ] && echo "all shapes passed"
exit $((failures > 0))
