#!/usr/bin/env bash
# Builds the Debian package: build/package/stowra_<version>_<arch>.deb (its path is printed last).
# The programs are built for /usr in a build folder of their own, without tests and benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DSTOWRA_BUILD_TESTS=OFF -DSTOWRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${STOWRA_JOBS:-2}"
rm -f "$build"/stowra_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/stowra_*.deb
