#!/usr/bin/env bash
# Starts the Windows window under wine on Xvfb, scans a sample folder, and saves a picture of the
# window showing the summary into docs/.
# Usage: scripts/screenshot-windows.sh [OUTPUT.png]
# The language follows LANG as in the program:
#   LANG=en_US.UTF-8 scripts/screenshot-windows.sh docs/screenshot-windows-en.png
# (English Windows has no code page for Japanese names: the English sample's names are English.)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot-windows.png}
lang=${LANG:-ja_JP.UTF-8}
for p in x11-apps imagemagick xvfb fonts-wine; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p"
  fi
done
cmake --preset win >/dev/null
cmake --build --preset win -j "${STOWRA_JOBS:-2}" --target window_screenshot

work=$(mktemp -d /tmp/stowra-winshot.XXXXXX)
export WINEPREFIX=${WINEPREFIX:-$PWD/build/win-prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export LANG=$lang LC_ALL=$lang
display=:$((200 + RANDOM % 50))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1

if [[ $lang == ja* ]]; then
  sample="$work/写真アーカイブ"
  summer="2004 夏休み" kyoto="2005 京都" docs=documents report=報告書.pdf photo=写真
else
  sample="$work/Photo archive"
  summer="2004 Summer holidays" kyoto="2005 Kyoto" docs=documents report=report.pdf photo=photo
fi
mkdir -p "$sample/$summer" "$sample/$kyoto" "$sample/$docs"
for i in $(seq 1 40); do truncate -s $((i * 17000000)) "$sample/$summer/IMG_$((1000 + i)).jpg"; done
for i in $(seq 1 25); do truncate -s $((i * 23000000)) "$sample/$kyoto/${photo}_$i.jpg"; done
truncate -s 300000000 "$sample/$docs/$report"
winwork=$(winepath -w "$work")
printf '[Stowra]\r\nOption=1\r\nMedia=1\r\nDstFolder=%s\r\n' "$winwork" | iconv -f UTF-8 -t CP932 >"$work/stowra.ini"

# Inside a wine desktop of the screen's size, which draws the windows' title bars as Windows does.
# The program takes its arguments in the ANSI code page; wine converts them from the locale's.
wine explorer /desktop=stowra,1024x768 build/win/tests/win32/window_screenshot.exe "$(winepath -w "$sample")" "$(winepath -w "$work/stowra.ini")" \
  "$(winepath -w "$work/ready")" &
shot=$!
for _ in $(seq 1 1800); do  # a new prefix takes a minute to make
  [ -s "$work/ready" ] && break
  sleep 0.1
done
read -r x y w h < <(tr -d '\r' <"$work/ready")  # written in text mode
xwd -root -display "$display" | convert xwd:- -crop "${w}x${h}+${x}+${y}" +repage "$out"
rm -f "$work/ready"
wait "$shot" || true
echo "saved $out"
