#!/usr/bin/env bash
# Scan speed and memory on one warm tree of 1,000,000 sparse files in 10,001 folders: stowra-cli
# scan (text and JSON), its folder walk alone, find and fpart, in alternating runs; medians of
# the wall times and the peak resident sizes. With STOWRA_BENCH_COLD=1 each tool also runs once
# after the page cache is dropped (needs root).
# Usage: bench/scan_bench.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
tree=${STOWRA_BENCH_BIG:-/tmp/stowra-bench-1m}
runs=${STOWRA_BENCH_RUNS:-5}
profile=(--cluster 2048 --total 2298496 --system 256 --slack 3840)

[ -d "$tree" ] || "$build/bench/make_tree" "$tree" 10000 100
declare -A cmd=(
  [stowra-scan]="$build/src/cli/stowra-cli scan $tree ${profile[*]}"
  [stowra-json]="$build/src/cli/stowra-cli scan $tree ${profile[*]} --json"
  [stowra-walk]="$build/bench/scan_tree $tree --collect-only"
  [find]="find $tree -type f -printf %s\\n"
  [fpart]="fpart -s 4707319808 -r 2048 $tree"
)
order=(stowra-scan find fpart stowra-json stowra-walk)
declare -A times mems
one() {  # wall seconds and peak KiB of one run
  /usr/bin/time -f "%e %M" -o /tmp/stowra-bench-time sh -c "exec ${cmd[$1]} >/dev/null 2>&1" || true
  cat /tmp/stowra-bench-time
}
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

${cmd[find]} >/dev/null  # warm the cache
for ((r = 0; r < runs; r++)); do
  for name in "${order[@]}"; do
    read -r t m < <(one "$name")
    times[$name]+="$t "
    mems[$name]+="$m "
  done
done
printf '%-12s %10s %12s\n' tool "wall (s)" "peak (MiB)"
for name in "${order[@]}"; do
  t=$(tr ' ' '\n' <<<"${times[$name]}" | grep . | median)
  m=$(tr ' ' '\n' <<<"${mems[$name]}" | grep . | median)
  printf '%-12s %10s %12.1f\n' "$name" "$t" "$(echo "$m / 1024" | bc -l)"
done

if [ "${STOWRA_BENCH_COLD:-0}" = 1 ]; then
  echo "cold cache (one run each, after dropping the page cache):"
  for name in stowra-scan find fpart; do
    sync
    echo 3 >/proc/sys/vm/drop_caches
    read -r t m < <(one "$name")
    printf '%-12s %10s\n' "$name" "$t"
  done
fi
