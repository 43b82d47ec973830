#!/usr/bin/env bash
# Makes the release into dist/ from a checkout:
#   srtm-qlp-VERSION-win32.zip  srtm.qlp and srtm.exe built for release (optimised,
#                               stripped), the Japanese guide as Shift-JIS text with
#                               CR LF line ends, LICENSE.txt
#   srtm_VERSION_amd64.deb      the Linux command-line tool, its man page, copyright;
#                               it needs no GDAL, and suggests
#   srtm-gdal_VERSION_amd64.deb the raster engine of `srtm import` (GDAL), which the
#                               tool opens only when an import reads a raster or archive
#   SHA256SUMS                  of all three
# The version is the project's (the top CMakeLists.txt). The archives are reproducible:
# every time stamp is SOURCE_DATE_EPOCH (the last commit's time unless set), entries
# are sorted, owners and modes fixed, and the builds record no paths or link times, so
# two runs give the same bytes. Where a Windows world runs under Wine, the dialogs'
# pictures of the guide are taken afresh into docs/images/ first.
#   bash scripts/release.sh [--fresh]
# --fresh: build from scratch (the release build folders removed first).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
fresh=0
case "${1:-}" in
  "") ;;
  --fresh) fresh=1 ;;
  *) echo "usage: bash scripts/release.sh [--fresh]" >&2; exit 2 ;;
esac

bash scripts/setup.sh >/dev/null
version=$(sed -n 's/^project(srtm_qlp VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    { echo "release: not a git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH TZ=UTC
if [ -n "$(git status --porcelain 2>/dev/null)" ]; then
  echo "release: NOTE the checkout has uncommitted changes, which the packages hold"
fi
umask 022
jobs=$(nproc)
stage=$root/build/release-stage
dist=$root/dist
zip_name=srtm-qlp-$version-win32.zip
deb_name=srtm_${version}_amd64.deb
engine_deb_name=srtm-gdal_${version}_amd64.deb
guide_name=はじめにお読みください.txt
echo "release: srtm.qlp $version, time stamps $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')"

# --- the dialogs' pictures for the guide -------------------------------------------------
# In whichever Windows world runs here: both draw the same dialogs with the same Wine,
# pixel for pixel.
if world=$(bash scripts/wine-works.sh 2>/dev/null); then
  echo "== pictures of the dialogs ($world world under Wine)"
  cmake --preset "$world" >/dev/null
  cmake --build "build/$world" -j"$jobs" --target qlphost srtm_plugin
  SRTM_WINE_WORLD=$world scripts/with-wine.sh ctest --test-dir "build/$world" -R '^wine_pictures' --output-on-failure
  mkdir -p docs/images
  cp "build/$world/screenshots/"*.png docs/images/
  echo "release: docs/images/ refreshed from build/$world/screenshots/"
else
  echo "release: NOTE the pictures in docs/images/ could not be refreshed: $(bash scripts/wine-works.sh 2>&1)"
  echo "release: NOTE docs/images/ is kept as it is ($(find docs/images -name '*.png' 2>/dev/null | wc -l) pictures)"
fi

# --- release builds ----------------------------------------------------------------------
# No source or build paths in the programs, and no link time in the PE headers. The flags
# go in through the environment, which CMake joins to the toolchain's own flags; each
# configure starts a fresh cache so that they always apply.
prefix_map="-ffile-prefix-map=$root=."
[ $fresh -eq 0 ] || rm -rf build/release-win32 build/release-native
release_options=(--fresh --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release
                 -DSRTM_BUILD_TESTS=OFF -DSRTM_BUILD_FUZZ=OFF -DSRTM_BUILD_BENCH=OFF)
echo "== release build, win32 (srtm.qlp, srtm.exe)"
CFLAGS=$prefix_map CXXFLAGS=$prefix_map LDFLAGS="-s -Wl,--no-insert-timestamp" \
  cmake -S . -B build/release-win32 --toolchain cmake/toolchain-i686-mingw.cmake "${release_options[@]}" >/dev/null
cmake --build build/release-win32 -j"$jobs" --target srtm_plugin srtm

echo "== release build, Linux (srtm, srtm-gdal.so)"
# Debian's hardening flags; the platform layer linked in, so the tool needs no library
# of its own and no run path.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS) $prefix_map" \
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) $prefix_map" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS) -s" \
  cmake -S . -B build/release-native "${release_options[@]}" -DSRTM_STATIC_PLATFORM=ON -DCMAKE_SKIP_RPATH=ON >/dev/null
cmake --build build/release-native -j"$jobs" --target srtm srtm_gdal

rm -rf "$stage"
mkdir -p "$stage" "$dist"
rm -f "$dist/$zip_name" "$dist/$deb_name" "$dist/$engine_deb_name" "$dist/SHA256SUMS"

# Every file and folder of a tree gets the release's time stamp.
stamp_tree() { find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; }

# --- the zip -----------------------------------------------------------------------------
echo "== $zip_name"
win=$stage/win32
mkdir -p "$win"
install -m 644 build/release-win32/bin/srtm.qlp build/release-win32/bin/srtm.exe "$win/"
# The guide as text: the version filled in, the pictures' lines (and the blank line
# after each) left out, CR LF line ends, code page 932.
sed -e "s/@VERSION@/$version/g" -e '/^!\[.*\](images\/.*)$/,+1d' docs/guide.md |
  sed 's/$/\r/' | iconv -f UTF-8 -t CP932 > "$win/guide.txt"
sed 's/$/\r/' LICENSE > "$win/LICENSE.txt"
chmod 644 "$win"/*
# The guide's name in code page 932 too, with no UTF-8 flag: the archive tools of a
# Japanese Windows read names without the flag in that code page.
guide_cp932=$(printf '%s' "$guide_name" | iconv -f UTF-8 -t CP932)
mv "$win/guide.txt" "$win/$guide_cp932"
stamp_tree "$win"
(cd "$win" && find . -maxdepth 1 -type f -printf '%P\n' | LC_ALL=C sort |
   LC_ALL=C xargs -d '\n' zip -q -X -9 "$dist/$zip_name")

# --- the .debs ---------------------------------------------------------------------------
maintainer="srtm.qlp developers <srtm-qlp@users.noreply.invalid>"
# package_root NAME: a package's tree, with its copyright and changelog.
package_root() {
  local doc=$stage/$1/usr/share/doc/$1
  mkdir -p "$stage/$1/DEBIAN" "$doc"
  {
    cat <<EOF
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: srtm.qlp

Files: *
Copyright: 2026 srtm.qlp developers
License: Expat
EOF
    sed -n '/^Permission/,$p' LICENSE | sed -e 's/^$/./' -e 's/^/ /'
  } > "$doc/copyright"
  {
    echo "srtm ($version) unstable; urgency=medium"
    echo
    echo "  * Release $version."
    echo
    echo " -- $maintainer  $(date -u -R -d "@$SOURCE_DATE_EPOCH")"
  } | gzip -9n > "$doc/changelog.gz"
  chmod 644 "$doc"/*
}
# shlib_depends NAME FILE...: the libraries the files need, as Debian's tools work them out.
shlib_depends() {
  local shlib=$stage/shlibdeps-$1 depends
  mkdir -p "$shlib/debian"
  printf 'Source: srtm\nMaintainer: %s\n\nPackage: %s\nArchitecture: amd64\n' "$maintainer" "$1" > "$shlib/debian/control"
  depends=$(cd "$shlib" && dpkg-shlibdeps -O "${@:2}" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
  [ -n "$depends" ] || { echo "release: dpkg-shlibdeps found no dependencies for $1" >&2; exit 1; }
  echo "$depends"
}
# build_package NAME FILE.deb FIELDS: the control file (with the size and FIELDS), the
# md5sums, modes and time stamps, then the package.
build_package() {
  local root=$stage/$1 size_kib
  size_kib=$(find "$root" -path "$root/DEBIAN" -prune -o -type f -printf '%s\n' |
             awk '{ k += int(($1 + 1023) / 1024) } END { print k + 0 }')
  printf 'Package: %s\nVersion: %s\nArchitecture: amd64\nMaintainer: %s\nInstalled-Size: %s\n%s\n' \
    "$1" "$version" "$maintainer" "$size_kib" "$3" > "$root/DEBIAN/control"
  (cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum) > "$root/DEBIAN/md5sums"
  chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
  find "$root" -type d -exec chmod 755 {} +
  stamp_tree "$root"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$dist/$2" >/dev/null
}

echo "== $deb_name"
deb=$stage/srtm
package_root srtm
mkdir -p "$deb/usr/bin" "$deb/usr/share/man/man1"
install -m 755 build/release-native/bin/srtm "$deb/usr/bin/srtm"
# As Debian's own packaging strips: the compiler's notes go too.
strip --remove-section=.comment --remove-section=.note "$deb/usr/bin/srtm"

# The man page, made by help2man from the tool's own help texts.
bash scripts/man_page.sh build/release-native/bin/srtm "$version" > "$stage/srtm.1"
gzip -9n < "$stage/srtm.1" > "$deb/usr/share/man/man1/srtm.1.gz"
chmod 644 "$deb/usr/share/man/man1/srtm.1.gz"
build_package srtm "$deb_name" "Depends: $(shlib_depends srtm "$deb/usr/bin/srtm")
Suggests: srtm-gdal
Section: science
Priority: optional
Description: elevation tiles of the SRTM to XEM files: compress, check, decode, draw
 The command-line tool of the srtm.qlp plug-in, running the plug-in's own
 code outside the host: it tells the kind of an SRTM tile (.hgt, SRTM-1 and
 SRTM-3), serves blocks of the whole-globe map with voids filled and a sea
 level applied, compresses tiles losslessly into XEM block files on several
 threads, checks XEM files against their tiles, decodes them back into .hgt
 tiles and draws shaded-relief pictures. Its import makes tiles of the
 shared grid from tiles under other names; GeoTIFF and other rasters, and
 archives, it reads with the package srtm-gdal."

# The raster engine: the module the tool opens from ../lib/srtm/, with GDAL.
echo "== $engine_deb_name"
engine=$stage/srtm-gdal
package_root srtm-gdal
mkdir -p "$engine/usr/lib/srtm"
install -m 644 build/release-native/bin/srtm-gdal.so "$engine/usr/lib/srtm/srtm-gdal.so"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$engine/usr/lib/srtm/srtm-gdal.so"
build_package srtm-gdal "$engine_deb_name" "Depends: srtm (= $version), $(shlib_depends srtm-gdal "$engine/usr/lib/srtm/srtm-gdal.so")
Enhances: srtm
Section: science
Priority: optional
Description: GDAL engine of srtm import: GeoTIFF and other rasters, archives
 The raster engine of the srtm tool's import: with it, srtm import reads
 every raster GDAL reads with a coordinate system (the Copernicus DEM's
 GeoTIFFs, national models in UTM, ...) and zip, tar and gzip archives,
 and resamples them onto the SRTM tile grid. The tool opens it only when
 an import needs it, so that its other commands never load GDAL."

(cd "$dist" && sha256sum "$zip_name" "$deb_name" "$engine_deb_name" > SHA256SUMS)
echo "release: written to dist/"
(cd "$dist" && ls -l "$zip_name" "$deb_name" "$engine_deb_name" SHA256SUMS)
