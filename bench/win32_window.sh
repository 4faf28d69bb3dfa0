#!/usr/bin/env bash
# The Windows window's figures under wine on Xvfb: start to first paint; a scan of a tree of small
# files (default 100,000 in 1,000 folders) through the window against stowra-cli.exe's scan of the
# same tree, each a whole run of its program; and the list view showing the last file of a disc
# that holds all of them. Prints the median of the runs.
# Usage: bench/win32_window.sh   (needs build/dev/bench/make_tree: cmake --build --preset dev --target make_tree)
set -euo pipefail
cd "$(dirname "$0")/.."
folders=${STOWRA_BENCH_FOLDERS:-1000}
files=${STOWRA_BENCH_FILES:-100}
runs=${STOWRA_BENCH_RUNS:-3}
work=${STOWRA_BENCH_DIR:-/tmp}/stowra-bench-win32
cmake --preset win >/dev/null
cmake --build --preset win -j "${STOWRA_JOBS:-2}" --target win32_window_bench stowra-cli >/dev/null
export WINEPREFIX=${WINEPREFIX:-$PWD/build/win-prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
display=:$((250 + RANDOM % 40))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=$display
wineserver -p
wine cmd /c exit 0 >/dev/null 2>&1 || true
# Windows without a window manager: wine would wait two seconds for one at every window it hides.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

rm -rf "$work"
mkdir -p "$work"
build/dev/bench/make_tree "$work/src" "$folders" "$files" >/dev/null
# DVDs for the scan.
printf '[Stowra]\r\nOption=64\r\nMedia=0\r\n[DVD]\r\nCluster=2048\r\nTotal=2298496\r\nSystem=256\r\nSlack=3840\r\n' >"$work/dvd.ini"
# A disc a little smaller than the whole tree: it takes nearly every file.
sectors=$(find "$work/src" -type f -printf '%s\n' | awk '{s += int(($1 + 2047) / 2048)} END {print s}')
huge=$((sectors - 1000))
printf '[Stowra]\r\nOption=64\r\nMedia=0\r\n[Huge]\r\nCluster=2048\r\nTotal=%d\r\nSystem=256\r\nSlack=%d\r\n' \
  $((huge + 256)) $((huge / 2)) >"$work/huge.ini"
bench=build/win/tests/win32/win32_window_bench.exe
cli=build/win/src/cli/stowra-cli.exe
src=$(winepath -w "$work/src")

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
wall() {  # wall seconds of one run of the command
  local s e
  s=$(date +%s.%N)
  "$@" >"$work/last.out" 2>/dev/null
  e=$(date +%s.%N)
  echo "$e - $s" | bc
}
wine "$cli" scan "$src" --settings "$(winepath -w "$work/dvd.ini")" --profile DVD >/dev/null 2>&1  # warm the cache
paint=() paintWall=() window=() windowScan=() cliRuns=() cliStart=() list=() closed=()
for _ in $(seq 1 "$runs"); do
  paintWall+=("$(wall wine "$bench" paint "$(winepath -w "$work/huge.ini")")")
  paint+=("$(grep -o '[0-9.]* ms after' "$work/last.out" | tr -dc '0-9.')")
  cp "$work/dvd.ini" "$work/w.ini"
  window+=("$(wall wine "$bench" scan "$(winepath -w "$work/w.ini")" "$src")")
  windowScan+=("$(grep -o 'scan [0-9.]*' "$work/last.out" | tr -dc '0-9.')")
  cliRuns+=("$(wall wine "$cli" scan "$src" --settings "$(winepath -w "$work/dvd.ini")" --profile DVD)")
  cliStart+=("$(wall wine "$cli" --version)")
  cp "$work/huge.ini" "$work/h.ini"
  wine "$bench" list "$(winepath -w "$work/h.ini")" "$src" >"$work/list.out" 2>/dev/null
  list+=("$(tr -d '\r' <"$work/list.out" | grep listed)")
  closed+=("$(grep -o 'closed in [0-9.]*' "$work/list.out" | tr -dc '0-9.')")
done
echo "first paint after the process started: $(printf '%s\n' "${paint[@]}" | median) ms (a whole run from the shell, wine's start and the close included: $(printf '%s\n' "${paintWall[@]}" | median) s)"
w=$(printf '%s\n' "${window[@]}" | median)
c=$(printf '%s\n' "${cliRuns[@]}" | median)
ws=$(echo "scale=3; $(printf '%s\n' "${windowScan[@]}" | median) / 1000" | bc)
cs=$(echo "$c - $(printf '%s\n' "${cliStart[@]}" | median)" | bc)
echo "scan of $((folders * files)) files, whole runs: window $w s, stowra-cli.exe $c s"
echo "the scan alone: window $ws s (its button's click), stowra-cli.exe $cs s (less its own start), ratio $(echo "scale=2; $ws / $cs" | bc)"
printf '%s\n' "${list[@]}"
echo "the window closed (settings written) in $(printf '%s\n' "${closed[@]}" | median) ms"
