#!/usr/bin/env bash
# Scan speed and memory: a tree of 200,000 sparse files scanned by stowra, by find and by fpart,
# all on the same warm tree; then the memory of a 1,000,000-file scan.
# Usage: bench/scan_bench.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
tree=${STOWRA_BENCH_TREE:-/tmp/stowra-bench-200k}
big=${STOWRA_BENCH_BIG:-/tmp/stowra-bench-1m}

[ -d "$tree" ] || "$build/bench/make_tree" "$tree" 2000 100
best() {  # best wall time of 5 runs of a command, in seconds
  local b=999
  for _ in 1 2 3 4 5; do
    local s e
    s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
    b=$(echo "$e - $s" | bc -l | awk -v b="$b" '{print ($1 < b) ? $1 : b}')
  done
  echo "$b"
}
find "$tree" -type f -printf '%s\n' >/dev/null  # warm the cache
echo "find:        $(best find "$tree" -type f -printf '%s\n') s"
if command -v fpart >/dev/null; then
  echo "fpart:       $(best fpart -n 8 -o /dev/null "$tree") s"
fi
echo "stowra scan: $(best "$build/bench/scan_tree" "$tree") s (scan and pack)"
echo "stowra walk: $(best "$build/bench/scan_tree" "$tree" --collect-only) s (walk only)"

if [ "${STOWRA_BENCH_MEMORY:-1}" = 1 ]; then
  [ -d "$big" ] || "$build/bench/make_tree" "$big" 10000 100
  "$build/bench/scan_tree" "$big"
fi
