#!/usr/bin/env bash
# The image-size model against the image builders on one disc of 100,000 files in 1,000 folders
# (sparse files, written once): best of 3 wall times of xorriso and genisoimage -print-size, of
# stowra-cli image-size (walk and model) and of the model alone on the same paths in memory.
# Usage: bench/image_size_bench.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
tree=${STOWRA_BENCH_IMAGE_TREE:-/tmp/stowra-bench-image-100k}
export LC_ALL=C.UTF-8

[ -d "$tree" ] || "$build/bench/image_size_bench" --write-tree "$tree"
best() {  # best wall time of 3 runs of a command, in seconds
  local b=999
  for _ in 1 2 3; do
    local s e
    s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
    b=$(echo "$e - $s" | bc -l | awk -v b="$b" '{print ($1 < b) ? $1 : b}')
  done
  echo "$b"
}
xorriso=(xorriso -as mkisofs -iso-level 3 -r -J --joliet-long -print-size -quiet "$tree")
genisoimage=(genisoimage -r -J --joliet-long -print-size -quiet "$tree")
udf=(genisoimage -r -J --joliet-long -udf -print-size -quiet "$tree")
cli=("$build/src/cli/stowra-cli" image-size "$tree")
find "$tree" >/dev/null  # warm the cache
echo "xorriso:                $(best "${xorriso[@]}") s, $("${xorriso[@]}" 2>/dev/null | tail -1) sectors"
echo "genisoimage:            $(best "${genisoimage[@]}") s, $("${genisoimage[@]}" 2>/dev/null | tail -1) sectors"
echo "genisoimage -udf:       $(best "${udf[@]}") s, $("${udf[@]}" 2>/dev/null | tail -1) sectors"
echo "stowra-cli image-size:  $(best "${cli[@]}") s, $("${cli[@]}" | cut -f1) sectors"
echo "stowra-cli --file-system udf: $("${cli[@]}" --file-system udf | cut -f1) sectors"
"$build/bench/image_size_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
