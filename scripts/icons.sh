#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG. The PNGs are kept in the repository, so
# this runs only when the SVG changes (it needs librsvg2-bin, which the build does not).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
svg=io.github.stowra.Stowra.svg
for size in 16 24 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "hicolor/${size}x${size}/apps/io.github.stowra.Stowra.png"
done
# The Windows program's icon resource, from the same sizes (ImageMagick).
convert hicolor/{16x16,24x24,32x32,48x48,256x256}/apps/io.github.stowra.Stowra.png ../../src/win32/stowra.ico
