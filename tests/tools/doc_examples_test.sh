#!/usr/bin/env bash
# The srtm examples of the README and the guides, run as written, each document's in a
# fresh folder that holds only the files a user has (tiles, downloads, a GeoTIFF).
# The Japanese guide ships in the Windows zip, so its examples (Windows paths) run in
# the Windows world, where C:\ is the Wine prefix's drive (C:\地図 is removed after
# each document); rasters are read by the Linux build only.
#   doc_examples_test.sh SRTM N57E011.hgt [RUNNER]   (RUNNER: wine-run.sh in the 32-bit world)
set -uo pipefail
srtm=$(realpath "$1") tile=$(realpath "$2") runner=${3:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/support/cli_expect.sh
source "$root/tests/support/cli_expect.sh"

# The examples of a document: indented lines, `srtm ...` in the text and "例: srtm ..."
# with arguments, without placeholders (COMMAND, TILE.hgt).
examples() {
  { grep -oE '^    srtm .*' "$1" | sed 's/^    //'
    grep -oE '`srtm [^`]+ [^`]+`' "$1" | tr -d '`'
    grep -oE '例: srtm .*$' "$1" | sed 's/^例: //'
  } | grep -vE '\b[A-Z]{3,}\b'
}

ran=0 passed=0 skipped=0
for doc in README.md docs/guide.en.md docs/guide.md; do
  if [ "$doc" = docs/guide.md ] && [ -z "$runner" ]; then
    echo "SKIP: $doc: its examples are for Windows (srtm.exe); they run in the 32-bit world"
    continue
  fi
  folder=$work/$(basename "$doc" .md)
  mkdir -p "$folder/tiles" "$folder/copernicus"
  cp "$tile" "$folder/N35E138.hgt" && cp "$tile" "$folder/N57E011.hgt" && cp "$tile" "$folder/tiles/N36E138.hgt"
  (cd "$folder" && cp N57E011.hgt N57E011.SRTMGL1.hgt && zip -qm N57E011.SRTMGL1.hgt.zip N57E011.SRTMGL1.hgt &&
    cp N35E138.hgt N35E138.SRTMGL1.hgt && zip -qm N35E138.SRTMGL1.hgt.zip N35E138.SRTMGL1.hgt &&
    mkdir downloads && cp N57E011.SRTMGL1.hgt.zip downloads/ && gzip -c N35E138.hgt > downloads/N36E138.hgt.gz &&
    cp -r downloads ダウンロード)
  drive_c=${WINEPREFIX:+$WINEPREFIX/drive_c/地図}
  [ -z "$runner" ] || rm -rf "$drive_c"
  if command -v gdal_translate >/dev/null; then
    gdal_translate -q "$folder/N57E011.hgt" "$folder/copernicus/N57E011.tif" 2>/dev/null
  fi
  while IFS= read -r example; do
    if [[ $example == *copernicus/* ]] && [ -n "$runner" ]; then
      echo "SKIP: $doc: $example (rasters are read by the Linux build)"; skipped=$((skipped + 1)); continue
    fi
    if [[ $example == *copernicus/* ]] && [ ! -s "$folder/copernicus/N57E011.tif" ]; then
      echo "SKIP: $doc: $example (gdal_translate could not make the GeoTIFF)"; skipped=$((skipped + 1)); continue
    fi
    ran=$((ran + 1))
    # As written: the shell's words and globs, a backslash kept (the Windows paths).
    args=${example#srtm }
    out=$(cd "$folder" && eval "run \"\$srtm\" ${args//\\/\\\\}" 2>&1); code=$?
    if [ "$code" != 0 ]; then
      fail "$doc: '$example' exit $code, wanted 0 -> $out"
    else
      passed=$((passed + 1))
    fi
  done < <(examples "$root/$doc")
  [ -z "$runner" ] || rm -rf "$drive_c"
done
echo "$ran examples run: $passed passed, $skipped skipped"
[ "$ran" -ge 6 ] || fail "only $ran examples found in the documents"
finish "the examples of the documents ran as written"
