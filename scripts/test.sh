#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs every test: the native world, then the
# Windows world under Wine (scripts/test-windows.sh: the product's 32-bit world, or where
# 32-bit programs cannot run the 64-bit build of the same sources, the 32-bit one then
# built and checked without running), then the native tests again under AddressSanitizer
# and UndefinedBehaviorSanitizer, then each fuzz target for a bounded time (a minute
# each; SRTM_FUZZ_SECONDS changes it). Warnings are errors when CI=true.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
jobs=$(nproc)
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON

echo "== native build"
cmake --preset native -DSRTM_WERROR=$werror >/dev/null
cmake --build build/native -j"$jobs"
echo "== native tests"
ctest --preset native -j"$jobs"

# Both Windows worlds where both run: the 64-bit one, the fallback for machines that run
# no 32-bit programs, costs about what the 32-bit world costs (its build dominates) and
# is kept working before such a machine needs it.
bash scripts/test-windows.sh --both

echo "== sanitizer build (gcc, ASan and UBSan)"
cmake --preset asan -DSRTM_WERROR=$werror >/dev/null
cmake --build build/asan -j"$jobs"
echo "== native tests under ASan and UBSan (leaks checked at exit)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --preset asan -j"$jobs"

# The fuzz build is a third compiler's view of the code: its warnings are shown but do
# not stop the run, which checks gcc and mingw-w64 for warnings already.
echo "== fuzz build (clang, libFuzzer, ASan and UBSan)"
cmake --preset fuzz -DSRTM_WERROR=OFF >/dev/null
cmake --build build/fuzz -j"$jobs" --target fuzz_xem_decode fuzz_xem_reader fuzz_codec_round_trip fuzz_paths fuzz_map_source fuzz_archive
echo "== fuzzing, ${SRTM_FUZZ_SECONDS:-60} s a target"
bash scripts/fuzz.sh build/fuzz

# The release made as `scripts/release.sh` makes it (twice, the second time from
# scratch, to show that it is reproducible) and installed as its users install it.
echo "== release: the zip and the .deb, made and installed"
bash tests/release/release_test.sh
