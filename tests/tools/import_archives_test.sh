#!/usr/bin/env bash
# srtm import of SRTM tiles as downloaded (archives made here), the same script in both
# worlds: natively without the GDAL engine, srtm.exe under Wine (code page 932). Every
# tile byte for byte under its proper name, import's rules, and what cannot be read.
#   import_archives_test.sh SRTM N57E011.hgt [RUNNER]   (RUNNER: wine-run.sh in the Windows world)
set -uo pipefail
srtm=$(realpath "$1") tile=$(realpath "$2") runner=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/support/cli_expect.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/cli_expect.sh"
cd "$work" || exit 1
export SRTM_IMPORT_ENGINE=$work/no-engine.so
# imp CODE REGEX ARGS...: `srtm import ARGS...` exits CODE and says REGEX (its text made
# UTF-8: the Windows world prints code page 932).
imp() {
  local code=$1 re=$2
  shift 2
  expect "$code" "$srtm" import "$@"
  [ -z "$runner" ] || out=$(iconv -f CP932 -t UTF-8 <<<"$out")
  has "$re" "import $*"
}
same() { cmp -s "$1" "$2" || fail "$1 is not $2 byte for byte"; }
# only FOLDER TILE...: FOLDER holds exactly these tiles (no temporary file left).
only() {
  local folder=$1
  shift
  [ "$(ls -A "$folder" 2>&1 | tr '\n' ' ')" = "$* " ] || fail "$folder holds $(ls -A "$folder" 2>&1 | tr '\n' ' '), not $*"
}

# The tiles: the real SRTM-3 one, an SRTM-1 one (its bytes repeated), one with a sample
# raised and one with a block of voids.
cp "$tile" s3 && for _ in 1 2 3 4 5 6 7 8 9; do cat "$tile"; done | head -c 25934402 > s1
python3 - <<'PY'
b = bytearray(open('s3', 'rb').read()); b[1000001] ^= 1; open('raised', 'wb').write(b)
b = bytearray(open('s3', 'rb').read())
for r in range(300, 420): b[2 * (r * 1201 + 500):2 * (r * 1201 + 650)] = b'\x80\x00' * 150
open('voided', 'wb').write(b)
PY

# The layouts, each made in a folder of its own and zipped, tarred or gzipped there.
mk() { rm -rf m && mkdir -p m/"$(dirname "$1")" && cp "$2" "m/$1"; }
mk N35E138.SRTMGL1.hgt s1 && (cd m && zip -q ../N35E138.SRTMGL1.hgt.zip N35E138.SRTMGL1.hgt)
mk N57E011.SRTMGL3.hgt s3 && (cd m && zip -q ../N57E011.SRTMGL3.hgt.zip N57E011.SRTMGL3.hgt)
mk n57e011.hgt s3 && echo "NASADEM" > m/README.txt && head -c 5000 /dev/urandom > m/n57e011.num &&
  (cd m && zip -q ../NASADEM_HGT_n57e011.zip n57e011.hgt n57e011.num README.txt)
mk N57/N57E011.hgt s3 && mkdir m/N58 && cp s3 m/N58/N58E011.hgt &&
  (cd m && zip -qr ../many.zip N57 N58 && tar -cf ../many.tar N57 && tar -czf ../many.tar.gz N58)
gzip -c s3 > N57E011.hgt.gz && gzip -c s3 > N58E011.hgt.gz
tar -cf gz.tar N58E011.hgt.gz && zip -q gz.zip N57E011.hgt.gz && zip -q -0 bulk.zip N35E138.SRTMGL1.hgt.zip
mkdir odd && cp s1 odd/N35E138.SRTMGL1.hgt && cp s3 odd/n57e011.hgt
for t in raised voided; do mk N57E011.hgt $t && (cd m && zip -q ../$t.zip N57E011.hgt); done
mk N57E011.hgt s3 && (cd m && zip -q -0 ../crc.zip N57E011.hgt)
python3 -c "b = bytearray(open('crc.zip', 'rb').read()); b[1000000] ^= 1; open('crc.zip', 'wb').write(b)"
# A zip made by Japanese Windows: names in code page 932 without the UTF-8 flag (表 ends
# in the byte of a backslash there), in a folder with such a name.
mkdir -p 地図表/ダウンロード
python3 - <<'PY'
import zipfile
members = {'標高/N57E011.hgt': open('s3', 'rb').read(), '標高/説明.hgt': b'0123456789'}
stand_in = {name: chr(65 + i) * len(name.encode('cp932')) for i, name in enumerate(members)}
with zipfile.ZipFile('jp.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    for name, data in members.items(): z.writestr(stand_in[name], data)
b = open('jp.zip', 'rb').read()
for name in members: b = b.replace(stand_in[name].encode(), name.encode('cp932'))
open('地図表/ダウンロード/地図.zip', 'wb').write(b)
PY

# Each layout: SOURCES | the tiles it gives, OUT=EXPECTED.
while IFS='|' read -r sources tiles; do
  folder=out-$(tr -c 'A-Za-z0-9\n' _ <<<"$sources")
  # shellcheck disable=SC2086
  imp 0 "copied byte for byte" $sources -o "$folder" --quiet
  names=()
  for t in $tiles; do same "$folder/${t%=*}" "${t#*=}" && names+=("${t%=*}"); done
  only "$folder" "${names[@]}"
done <<'TABLE'
N35E138.SRTMGL1.hgt.zip|N35E138.hgt=s1
N57E011.SRTMGL3.hgt.zip|N57E011.hgt=s3
NASADEM_HGT_n57e011.zip|N57E011.hgt=s3
many.zip|N57E011.hgt=s3 N58E011.hgt=s3
many.tar many.tar.gz|N57E011.hgt=s3 N58E011.hgt=s3
N57E011.hgt.gz gz.tar|N57E011.hgt=s3 N58E011.hgt=s3
gz.zip|N57E011.hgt=s3
odd/N35E138.SRTMGL1.hgt|N35E138.hgt=s1
odd/n57e011.hgt|N57E011.hgt=s3
bulk.zip|N35E138.hgt=s1
TABLE
has "source bulk.zip/N35E138.SRTMGL1.hgt.zip/N35E138.SRTMGL1.hgt: SRTM-1 tile N35E138.hgt" "a zip in a zip"
imp 0 "地図表.ダウンロード.地図.zip/標高/説明.hgt: passed over: a tile of 10 bytes" 地図表 -o 地図/表 --quiet
has "source 地図表.ダウンロード.地図.zip/標高/N57E011.hgt: SRTM-3 tile N57E011.hgt" "a code page 932 name in a zip"
same 地図/表/N57E011.hgt s3

# The rules: the first source wins, voids are completed from a later tile of its kind; a
# tile there takes part last, --replace replaces it, --skip-existing leaves it.
imp 0 "copied byte for byte from raised.zip/N57E011.hgt" raised.zip N57E011.hgt.gz -o first --quiet
same first/N57E011.hgt raised
imp 0 "1424401 samples from voided.zip/N57E011.hgt, 18000 samples from N57E011.hgt.gz, 0 void" \
  voided.zip N57E011.hgt.gz -o filled --quiet
same filled/N57E011.hgt s3
imp 0 "N57E011.hgt: already there" voided.zip -o filled --skip-existing --quiet
same filled/N57E011.hgt s3
imp 0 "copied byte for byte from voided.zip/N57E011.hgt, replacing the tile there" voided.zip -o filled --replace --quiet
same filled/N57E011.hgt voided
imp 0 "" many.zip -o shards --shard 1/2 --jobs 2 --quiet
only shards N57E011.hgt
imp 0 "" many.zip -o shards --shard 2/2 --jobs 2 --quiet
only shards N57E011.hgt N58E011.hgt

# What cannot be read says what it is, naming the file; no output folder is left.
head -c $(($(stat -c %s N57E011.hgt.gz) / 2)) N57E011.hgt.gz > cut.hgt.gz
printf '7z\274\257\047\034\000\004' > a.7z
printf 'PK\005\006%018d' 0 | tr 0 '\0' > empty.zip && : > N57E011.SRTMGL1.hgt && head -c 2000000 s3 > n58e011.hgt
printf 'II*\000' > dem.tif
if [ -n "$runner" ]; then engine="which only the Linux build of srtm has"; else engine="install the package srtm-gdal"; fi
while IFS='|' read -r code source message; do
  imp "$code" "$message" "$source" -o not-made --quiet
  [ ! -e not-made ] || { fail "$source left $(ls -A not-made) in not-made"; rm -rf not-made; }
done <<TABLE
3|crc.zip|N57E011.hgt: NOT written: crc.zip: a damaged zip: N57E011.hgt: CRC-32 is [0-9a-f]+, the zip records
3|cut.hgt.gz|cut.hgt.gz: a gzip cut short: its data ends after
3|a.7z|a.7z: a 7z archive: not supported; unpack it first
3|empty.zip|empty.zip: an empty zip
3|N57E011.SRTMGL1.hgt|N57E011.SRTMGL1.hgt: a tile of 0 bytes: not an SRTM size
3|n58e011.hgt|n58e011.hgt: a tile of 2,000,000 bytes: not an SRTM size
3|dem.tif|dem.tif: reading rasters .* needs srtm's GDAL engine, .*$engine
TABLE

finish "all import archive checks passed"
