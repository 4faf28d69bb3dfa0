#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds, and runs every test: once in the normal build and once
# under AddressSanitizer and UndefinedBehaviorSanitizer; burns a disc on an emulated DVD+R burner in a
# QEMU guest; then builds the Debian package, checks
# it, installs it and runs the installed programs; last, cross-builds the engine, the command line
# and their tests for Windows and runs them under wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
echo "== format"
scripts/check-format.sh

jobs=${STOWRA_JOBS:-2}
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

for preset in dev asan; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset tests"
  ctest --test-dir "build/$preset" --output-on-failure -j "$jobs"
done
echo "== guest burn"
scripts/test-burn-guest.sh build/dev/src/cli/stowra-cli
echo "== package"
scripts/check-package.sh
scripts/install-test.sh
echo "== windows"
scripts/test-windows.sh
echo "All tests passed."
