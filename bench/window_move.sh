#!/usr/bin/env bash
# The move in the window against the move on the command line: the same tree of small files
# (default 100,000 files in 1,000 folders) scanned, packed onto 4.7 GB DVDs and moved within one
# file system, each run on a fresh tree. Prints the median wall time of each over the runs.
# Usage: bench/window_move.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
work=${STOWRA_BENCH_DIR:-/tmp}/stowra-bench-window-move
folders=${STOWRA_BENCH_FOLDERS:-1000}
files=${STOWRA_BENCH_FILES:-100}
runs=${STOWRA_BENCH_RUNS:-3}
export QT_QPA_PLATFORM=offscreen
trap 'rm -rf "$work"' EXIT
rm -rf "$work"
mkdir -p "$work"
printf '[Stowra]\r\nOption=0\r\nMedia=0\r\n[DVD]\r\nCluster=2048\r\nTotal=2298496\r\nSystem=256\r\nSlack=3840\r\nFileSystem=0\r\n' \
  > "$work/stowra.ini"

run() {  # run window|cli: wall seconds of one scan and move on a fresh tree
  rm -rf "$work/src" "$work/out"
  "$build/bench/make_tree" "$work/src" "$folders" "$files" >/dev/null
  mkdir -p "$work/out"
  sync
  local s e
  s=$(date +%s.%N)
  if [ "$1" = window ]; then
    cp "$work/stowra.ini" "$work/window.ini"
    "$build/bench/window_move" "$work/window.ini" "$work/src" "$work/out" >/dev/null
  else
    "$build/src/cli/stowra-cli" move "$work/src" "$work/out" --settings "$work/stowra.ini" --profile DVD --yes \
      >/dev/null 2>&1
  fi
  e=$(date +%s.%N)
  # The rest that filled no disc stays in the source; what was packed must have arrived.
  [ -n "$(find "$work/out" -type f | head -1)" ] || { echo "$1: nothing was moved" >&2; exit 1; }
  echo "$e - $s" | bc -l
}

window=() cli=()
for ((r = 0; r < runs; r++)); do
  window+=("$(run window)")
  cli+=("$(run cli)")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
w=$(median "${window[@]}") c=$(median "${cli[@]}")
printf 'window %.3f s, command line %.3f s, ratio %.2f\n' "$w" "$c" "$(echo "$w / $c" | bc -l)"
