#!/usr/bin/env bash
# Images, verification and burning on one 4 GiB disc folder of real (random, not sparse) data in
# 64 files: best of 3 wall times of
#   stowra-cli image -o             against xorriso -as mkisofs -iso-level 3 -r -J --joliet-long -o
#   stowra-cli verify --image       against sha256sum of the same image
#   stowra-cli burn to a stdio: file against dd of the same image, and against libburn's own
#   write of that finished image (xorriso -as cdrecord)
# and the peak memory (maximum resident set) of the burn, for this disc and for one a quarter
# of its size. Every run reads a folder or image that is in the page cache.
# Usage: bench/burn_bench.sh [STOWRA_CLI]   (default build/dev/src/cli/stowra-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/dev/src/cli/stowra-cli}
work=${STOWRA_BENCH_BURN_DIR:-/tmp/stowra-bench-burn}
export LC_ALL=C.UTF-8

make_disc() {  # folder, files of 64 MiB
  [ -d "$1" ] && return
  mkdir -p "$1"
  for i in $(seq 1 "$2"); do head -c 67108864 /dev/urandom >"$1/file $i.bin"; done
}
make_disc "$work/20261209-120000/1" 64
make_disc "$work/20261209-120000/2" 16
disc="$work/20261209-120000/1"

best() {  # best wall time of 3 runs, in seconds; $1 is run before each (cleanup)
  local before=$1 b=999
  shift
  for _ in 1 2 3; do
    eval "$before"
    local s e
    s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
    b=$(echo "$e - $s" | bc -l | awk -v b="$b" '{print ($1 < b) ? $1 : b}')
  done
  echo "$b"
}
ratio() { echo "$1 / $2" | bc -l | awk '{printf "%.2f", $1}'; }

cat "$disc"/* >/dev/null  # into the page cache
ours=$(best "rm -f $work/a.iso" "$cli" image "$disc" -o "$work/a.iso")
theirs=$(best "rm -f $work/b.iso" xorriso -as mkisofs -iso-level 3 -r -J --joliet-long -o "$work/b.iso" "$disc")
echo "image: stowra-cli $ours s, xorriso $theirs s, ratio $(ratio "$ours" "$theirs")"
# The same work: xorriso recording MD5s of the session and every file as stowra-cli does.
theirs=$(best "rm -f $work/b.iso" xorriso -as mkisofs -iso-level 3 -r -J --joliet-long --md5 -o "$work/b.iso" "$disc")
echo "image: stowra-cli $ours s, xorriso --md5 $theirs s, ratio $(ratio "$ours" "$theirs")"
rm -f "$work/b.iso"

ours=$(best ":" "$cli" verify --image "$work/a.iso")
theirs=$(best ":" sha256sum "$work/a.iso")
echo "verify: stowra-cli $ours s, sha256sum $theirs s, ratio $(ratio "$ours" "$theirs")"

ours=$(best "rm -f $work/c.iso" "$cli" burn --yes --device "stdio:$work/c.iso" "$disc")
theirs=$(best "rm -f $work/d.iso" dd if="$work/a.iso" of="$work/d.iso" bs=1M)
echo "burn: stowra-cli $ours s (writes, then reads back), dd $theirs s, ratio $(ratio "$ours" "$theirs")"
# The same library writing the finished image to the same kind of pseudo-drive: libburn's own
# pace on a stdio: file, which no burn through it can beat.
library=$(best "rm -f $work/d.iso" xorriso -as cdrecord dev="stdio:$work/d.iso" "$work/a.iso")
echo "burn: stowra-cli $ours s, xorriso -as cdrecord of the finished image $library s, ratio $(ratio "$ours" "$library")"
ours=$(best "rm -f $work/c.iso" "$cli" burn --yes --no-verify --device "stdio:$work/c.iso" "$disc")
echo "burn --no-verify: stowra-cli $ours s, dd $theirs s, ratio $(ratio "$ours" "$theirs")"
rm -f "$work/d.iso"

for d in 1 2; do
  rm -f "$work/c.iso"
  kb=$( { /usr/bin/time -f "%M" "$cli" burn --yes --device "stdio:$work/c.iso" "$work/20261209-120000/$d" >/dev/null; } 2>&1 | tail -1)
  echo "burn peak memory, disc of $(du -sh "$work/20261209-120000/$d" | cut -f1): $kb KiB"
done
rm -f "$work/a.iso" "$work/c.iso"
