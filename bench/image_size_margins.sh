#!/usr/bin/env bash
# The image-size model against the image builders on random discs: for each seed, a random tree
# (image_size_bench --write-random-tree), the builders' -print-size figures and the model's
# (stowra-cli image-size), then how far above them the model was.
# Usage: bench/image_size_margins.sh [BUILD_DIR] [FIRST_SEED] [LAST_SEED]   (build/release 1 200)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
first=${2:-1}
last=${3:-200}
export LC_ALL=C.UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

size() {  # a builder's figure for $tree, 0 when it makes no image
  local s
  s=$("$@" -print-size -quiet "$tree" 2>/dev/null | tail -1) || true
  echo "${s:-0}"
}
echo "seed iso9660 above udf above"
for seed in $(seq "$first" "$last"); do
  tree="$work/$seed"
  "$build/bench/image_size_bench" --write-random-tree "$tree" "$seed" >/dev/null
  x=$(size xorriso -as mkisofs -iso-level 3 -r -J --joliet-long)
  g=$(size genisoimage -r -J --joliet-long)
  u=$(size genisoimage -r -J --joliet-long -udf)
  iso=$((x > g ? x : g))
  model_iso=$("$build/src/cli/stowra-cli" image-size "$tree" | cut -f1)
  model_udf=$("$build/src/cli/stowra-cli" image-size --file-system udf "$tree" | cut -f1)
  if [ "$u" = 0 ]; then udf_above=-; else udf_above=$((model_udf - u)); fi
  echo "$seed $iso $((model_iso - iso)) $u $udf_above"
  rm -rf "$tree"
done | tee "$work/margins"
awk '{
       n++; if ($3 == 0) ei++; if ($3 > mi) mi = $3; if ($3 < 0) below++; si += $3
       if ($5 != "-") { nu++; if ($5 == 0) eu++; if ($5 > mu) mu = $5; if ($5 < 0) below++; su += $5 }
     }
     END { printf "iso9660: %d discs, %d exact, at most %d above, mean %.2f\n", n, ei, mi, si / n
           printf "udf:     %d discs, %d exact, at most %d above, mean %.2f\n", nu, eu, mu, su / nu
           printf "below a builder: %d\n", below }' "$work/margins"
