#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "${STOWRA_JOBS:-2}"

if [ -x build/dev/src/app/stowra ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display is available: use build/dev/src/cli/stowra-cli, or scripts/screenshot.sh for a picture of the window."
    exit 0
  fi
  exec build/dev/src/app/stowra "$@"
fi

# A build without the desktop window (no Qt 6): show the command-line front end on a sample folder.
sample=$(mktemp -d /tmp/stowra-sample.XXXXXX)
mkdir -p "$sample/photos/2004" "$sample/docs" "$sample/写真"
for i in 1 2 3 4 5 6 7 8; do
  head -c $((i * 61440)) /dev/zero >"$sample/photos/2004/img$i.jpg"
done
head -c 300000 /dev/zero >"$sample/docs/report.pdf"
head -c 123456 /dev/zero >"$sample/写真/旅行.jpg"
build/dev/src/cli/stowra-cli scan "$sample" --total 1000 --system 10 --slack 4 "$@"
rm -rf "$sample"
