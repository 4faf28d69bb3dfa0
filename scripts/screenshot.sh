#!/usr/bin/env bash
# Starts the window under Xvfb, scans a sample folder, and saves a picture of it into docs/.
# Usage: scripts/screenshot.sh [OUTPUT.png] [NODE] [DIALOG]
#   NODE: 0 the summary, 1.. a medium; DIALOG: media, options or group opens that dialog as well,
#   browse or question one of Qt's own (the folder browser, a message box).
# The language follows LANG as in the program: LANG=en_US.UTF-8 scripts/screenshot.sh docs/screenshot-en.png
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "${STOWRA_JOBS:-2}" --target window_screenshot

out=${1:-docs/screenshot.png}
node=${2:-0}
dialog=${3:-}
work=$(mktemp -d /tmp/stowra-shot.XXXXXX)
trap 'kill "${xvfb:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

sample="$work/写真アーカイブ"
mkdir -p "$sample/2004 夏休み" "$sample/2005 京都" "$sample/documents"
for i in $(seq 1 40); do truncate -s $((i * 17000000)) "$sample/2004 夏休み/IMG_$((1000 + i)).jpg"; done
for i in $(seq 1 25); do truncate -s $((i * 23000000)) "$sample/2005 京都/写真_$i.jpg"; done
truncate -s 300000000 "$sample/documents/報告書.pdf"
printf '[Stowra]\r\nOption=1\r\nMedia=1\r\nDstFolder=%s\r\n' "$work" >"$work/stowra.ini"

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb build/dev/tests/app/window_screenshot "$sample" "$work/stowra.ini" "$out" "$node" $dialog
echo "saved $out"
