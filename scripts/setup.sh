#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12, quietly, and only
# what is missing. Safe to run again.
set -euo pipefail

# The Windows world's PNG writer compresses with zlib, built for mingw-w64 by Debian.
# clang with its runtime builds the libFuzzer targets; valgrind checks the plug-in for leaks.
# The Windows worlds: the product's PE32 build under 32-bit Wine (wine32:i386) where this
# machine runs 32-bit programs, the same sources as PE32+ under 64-bit Wine (wine64)
# everywhere (see scripts/test-windows.sh); Debian's mingw-w64 zlib serves both.
# The pictures' legibility checks under Wine compare IPA Gothic with a font that has no
# Japanese characters (DejaVu). Wine's own fonts (fonts-wine) give Marlett, which draws
# the dialogs' close boxes (scripts/wine-prefix.sh puts it into each prefix). GDAL is the
# engine of `srtm import` (libgdal-dev); its tools and Python bindings (with numpy) make
# and check the import tests' inputs. The release (scripts/release.sh) needs zip,
# help2man, dpkg-dev and lintian; its test, python3 (to unpack as Windows does), man and col.
# gdb delivers signals as an output is being written in the tests of the commands' outputs.
packages=(cmake g++ make googletest libbenchmark-dev libpng-dev zlib1g-dev pkg-config locales
          libgdal-dev gdal-bin python3-gdal python3-numpy
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
          xvfb xauth fonts-ipafont-gothic fonts-dejavu-core
          clang libclang-rt-14-dev valgrind
          zip help2man lintian dpkg-dev man-db bsdextrautils python3 fonts-wine gdb)
# On a machine that runs no 32-bit programs 32-bit Wine could never start; its i386
# packages are left out there.
if bash "$(dirname "${BASH_SOURCE[0]}")/wine-works.sh" i386 2>/dev/null; then
  packages+=(wine32:i386)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "setup: installing ${missing[*]}"
  if [[ " ${missing[*]} " == *" wine32:i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine's ANSI code page follows the locale: ja_JP.UTF-8 gives code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
echo "setup: all packages present"
