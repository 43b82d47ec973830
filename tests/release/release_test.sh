#!/usr/bin/env bash
# Makes the release twice (the second time from scratch) and checks it as its users get
# it: the two runs give the same bytes; the checksums hold; the zip holds exactly the
# four files, the plug-in and the tool are release builds of the right kind, the guide is
# Shift-JIS text with CR LF line ends that says what docs/guide.md says; installed into a
# folder whose Japanese name has a 0x5C trail byte, the plug-in runs the whole user flow
# in the stand-in host and the tool compresses and verifies, both under Wine (skipped
# with the reason where Wine cannot run); the .deb passes lintian, its tool runs from an
# unpacked root and its man page renders.
# The two .debs: srtm (no GDAL) and srtm-gdal (the raster engine of srtm import). Both
# pass lintian (--pedantic too); srtm depends on no GDAL library and, installed alone
# into a scratch root by dpkg, compresses and verifies and its import names the package
# that reads rasters; with srtm-gdal installed beside it, the import reads a GeoTIFF.
#   bash tests/release/release_test.sh
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
export LC_ALL=C.UTF-8
version=$(sed -n 's/^project(srtm_qlp VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
dist=$root/dist
zip=$dist/srtm-qlp-$version-win32.zip
deb=$dist/srtm_${version}_amd64.deb
engine_deb=$dist/srtm-gdal_${version}_amd64.deb
tile=$root/tests/data/N57E011.hgt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0 skipped=0
pass() { echo "PASS: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1"; failed=$((failed + 1)); }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
finish() { echo "release: $passed passed, $failed failed, $skipped skipped"; [ "$failed" -eq 0 ]; exit; }

# --- made twice, the same bytes --------------------------------------------------------
if ! bash scripts/release.sh; then fail "scripts/release.sh failed"; finish; fi
mkdir "$work/first"
cp "$zip" "$deb" "$engine_deb" "$dist/SHA256SUMS" "$work/first/"
if ! bash scripts/release.sh --fresh; then fail "scripts/release.sh --fresh failed"; finish; fi
for f in "$zip" "$deb" "$engine_deb" "$dist/SHA256SUMS"; do
  check "$(basename "$f") is the same after a build from scratch" cmp "$work/first/$(basename "$f")" "$f"
done
check "SHA256SUMS holds for the three packages" bash -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"

# --- the zip, unpacked as a Japanese Windows does --------------------------------------
# Names without the UTF-8 flag are code page 932; the folder's 表 is 0x95 0x5C there.
inst=$work/地図表示
mkdir -p "$inst"
names=$(python3 - "$zip" "$inst" <<'EOF'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        name = info.filename if info.flag_bits & 0x800 else info.filename.encode("cp437").decode("cp932")
        with open(os.path.join(sys.argv[2], name), "wb") as out:
            out.write(z.read(info))
        print(name)
EOF
) || { fail "the zip cannot be unpacked"; finish; }
check "the zip holds exactly srtm.qlp, srtm.exe, the guide and LICENSE.txt" \
  test "$(sort <<<"$names" | tr '\n' ' ')" = "LICENSE.txt srtm.exe srtm.qlp はじめにお読みください.txt "

qlp=$inst/srtm.qlp exe=$inst/srtm.exe
check "srtm.qlp is at most 1 MB ($(stat -c %s "$qlp") bytes)" test "$(stat -c %s "$qlp")" -le 1048576
check "srtm.qlp is a stripped PE32 DLL of the GUI subsystem exporting its five entry points, importing PluginIf.dll and Windows only" \
  bash tests/support/check_pe.sh "$qlp" --pe32 --gui --dll --stripped \
    --exports "Create Load Close Release About" --imports PluginIf.dll
check "srtm.exe is a stripped PE32 console program importing Windows' own DLLs only" \
  bash tests/support/check_pe.sh "$exe" --pe32 --console --stripped
check "srtm.qlp's version record is $version" \
  test "$(strings -el "$qlp" | grep -A1 -x FileVersion | tail -n 1)" = "$version"

# The guide: code page 932, every line ending in CR LF, and the text of docs/guide.md
# with the version filled in, less its pictures.
guide=$inst/はじめにお読みください.txt
if iconv -f CP932 -t UTF-8 "$guide" > "$work/guide.utf8"; then
  pass "the guide is valid Shift-JIS"
  check "every line of the guide ends in CR LF" \
    test "$(grep -c $'\r$' "$work/guide.utf8")" -eq "$(wc -l < "$work/guide.utf8")" -a -s "$work/guide.utf8"
  tr -d '\r' < "$work/guide.utf8" | cat -s > "$work/guide.txt"
  grep -v '^!\[[^]]*\](images/[^)]*)$' docs/guide.md | sed "s/@VERSION@/$version/g" | cat -s > "$work/guide.md"
  check "the guide says what docs/guide.md says, apart from the pictures" diff -u "$work/guide.md" "$work/guide.txt"
else
  fail "the guide is not valid Shift-JIS"
fi
# The README and the guides: every relative link (the pictures in docs/images/ among them)
# names a file of the checkout.
links_resolve() {
  local doc target bad=0
  for doc in README.md docs/guide.md docs/guide.en.md; do
    while read -r target; do
      [ -e "$(dirname "$doc")/${target%%#*}" ] || { echo "$doc links to $target, which is missing"; bad=1; }
    done < <(grep -o '](\([^)]*\))' "$doc" | sed 's/^](//; s/)$//' | grep -vE '^([a-z]+:|#)')
  done
  return $bad
}
check "every relative link of the README and the guides resolves" links_resolve
crlf_license() { sed 's/$/\r/' LICENSE | cmp - "$inst/LICENSE.txt"; }
check "LICENSE.txt is LICENSE with CR LF line ends" crlf_license

# --- the zip under Wine ----------------------------------------------------------------
# The zip's programs are PE32: only the 32-bit world runs them.
if why=$(bash scripts/wine-works.sh win32 2>&1); then
  # The stand-in host for Windows, from the ordinary win32 build.
  cmake --preset win32 >/dev/null && cmake --build build/win32 -j"$(nproc)" --target qlphost >/dev/null
  if scripts/with-wine.sh bash tests/release/wine_install.sh "$inst" "$work/wine" "$tile"; then
    pass "installed in a folder named 地図表示, the plug-in and srtm.exe work under Wine"
  else
    fail "the installed plug-in or srtm.exe under Wine (see above)"
  fi
else
  skipped=$((skipped + 1)); echo "SKIP: the installed plug-in in the stand-in host and srtm.exe compress/verify under Wine: $why"
fi

# --- the .debs ---------------------------------------------------------------------------
for d in "$deb" "$engine_deb"; do
  if lintian --pedantic --fail-on error,warning,info,pedantic "$d" > "$work/lintian.txt" 2>&1; then
    pass "lintian --pedantic finds nothing in $(basename "$d")"
  else
    cat "$work/lintian.txt"; fail "lintian --pedantic finds something in $(basename "$d")"
  fi
done
depends=$(dpkg-deb -f "$deb" Depends)
check "srtm depends on libpng and on no GDAL library ($depends)" \
  bash -c "grep -q libpng16-16 <<<'$depends' && ! grep -qi gdal <<<'$depends'"
engine_depends=$(dpkg-deb -f "$engine_deb" Depends)
check "srtm-gdal depends on srtm $version and GDAL ($engine_depends)" \
  bash -c "grep -q 'srtm (= $version)' <<<'$engine_depends' && grep -q libgdal <<<'$engine_depends'"
# Installed by dpkg into a root of its own (its database empty, so the libraries the
# packages depend on, which this machine has, are not recorded there: --force-depends).
droot=$work/deb-root
mkdir -p "$droot/var/lib/dpkg/info" "$droot/var/lib/dpkg/updates" && touch "$droot/var/lib/dpkg/status"
install_deb() {
  dpkg --root="$droot" --force-depends --force-not-root --log=/dev/null -i "$1" >"$work/dpkg.txt" 2>&1 ||
    { cat "$work/dpkg.txt"; return 1; }
}
check "dpkg installs srtm alone into a scratch root" install_deb "$deb"
srtm=$droot/usr/bin/srtm
check "the installed srtm links no GDAL library" bash -c "! ldd '$srtm' | grep -i gdal"
check "srtm --help and --version from the installed package" \
  test "$("$srtm" --help | grep -c '^  compress ')/$("$srtm" --version)" = "1/srtm $version"
mkdir -p "$work/deb-tiles" "$work/deb-out" && cp "$tile" "$work/deb-tiles/"
if "$srtm" compress "$work/deb-tiles/N57E011.hgt" -o "$work/deb-out" --quiet &&
   "$srtm" verify "$work/deb-out/N57E011.xem" "$tile" >/dev/null; then
  pass "srtm compress from the installed package writes N57E011.xem, and it verifies"
else
  fail "srtm compress or verify from the installed package"
fi
gdal_translate -q "$tile" "$work/deb-tiles/tile.tif"
import_without() {
  local text code
  text=$("$srtm" import "$work/deb-tiles/tile.tif" -o "$work/deb-import" 2>&1); code=$?
  [ "$code" = 3 ] && grep -q "install the package srtm-gdal" <<<"$text" || { echo "exit $code: $text"; return 1; }
}
check "without srtm-gdal, import of a GeoTIFF says to install srtm-gdal (exit 3)" import_without
check "dpkg installs srtm-gdal beside it" install_deb "$engine_deb"
check "with srtm-gdal, import of a GeoTIFF writes the tile" \
  bash -c "'$srtm' import '$work/deb-tiles/tile.tif' -o '$work/deb-import' --quiet >/dev/null &&
           cmp '$work/deb-import/N57E011.hgt' '$tile'"
man_page() {
  local text c
  text=$(MANWIDTH=80 man --warnings -l "$droot/usr/share/man/man1/srtm.1.gz" 2>"$work/man.err" | col -b) || return 1
  [ ! -s "$work/man.err" ] || { cat "$work/man.err"; return 1; }
  for c in classify block compress info decode verify render; do
    grep -q "srtm $c" <<<"$text" || { echo "the man page lacks srtm $c"; return 1; }
  done
  local sections
  sections=$(grep -E '^[A-Z][A-Z ]+$' <<<"$text" | tr '\n' ,)
  [ "$sections" = "NAME,SYNOPSIS,DESCRIPTION,COMMANDS,EXIT STATUS,EXAMPLES,COPYRIGHT,SEE ALSO," ] ||
    { echo "the man page's sections: $sections"; return 1; }
  grep -A1 '^DESCRIPTION' <<<"$text" | grep -qi 'usage:' && { echo "DESCRIPTION begins with a usage line"; return 1; }
  return 0
}
check "man -l renders the man page with every command and a man page's sections, without warnings" man_page

finish
