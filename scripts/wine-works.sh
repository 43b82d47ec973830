#!/usr/bin/env bash
# Exits 0 when this machine can run the 32-bit Wine world; otherwise says why on stderr
# and exits 1. Some virtual machines run no 32-bit programs at all (the kernel answers
# "Exec format error"), and Wine's 32-bit loader is one.
#   scripts/wine-works.sh && scripts/with-wine.sh ctest --preset win32
if ! command -v wine >/dev/null 2>&1; then
  echo "the 32-bit Windows world cannot run here: Wine is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
if ! out=$(wine --version 2>&1); then
  echo "the 32-bit Windows world cannot run here: this machine does not run 32-bit programs" \
       "(Wine's loader: ${out##*: })" >&2
  exit 1
fi
