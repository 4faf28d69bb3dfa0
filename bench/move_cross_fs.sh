#!/usr/bin/env bash
# Moving 2 GiB of files across two file systems: the batch move (bench/batch_move_tree) against
# `cp -r` followed by `rm -r` of the same tree, and against `cp -r`, `sync`, `rm -r` (the batch move
# flushes every copy to disk before it removes the source, which plain cp does not). The tree is 256
# files of 8 MiB of random bytes in 16 folders; it is moved from tmpfs (/dev/shm) to the disk (/tmp)
# and from the disk to tmpfs. Each figure is the median of 3 runs, each on a fresh tree, after sync.
# Usage: bench/move_cross_fs.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
shm=${STOWRA_BENCH_SHM:-/dev/shm}/stowra-bench-xfs
disk=${STOWRA_BENCH_DISK:-/tmp}/stowra-bench-xfs
files=${STOWRA_BENCH_FILES:-256}
runs=${STOWRA_BENCH_RUNS:-3}
mover=$(realpath "$build/bench/batch_move_tree")

cleanup() { rm -rf "$shm" "$disk"; }
trap cleanup EXIT
cleanup
mkdir -p "$shm" "$disk"
head -c 8M /dev/urandom > "$shm/seed"

make_tree() {  # make_tree DIR: the test tree, not timed
  rm -rf "$1"
  for ((i = 0; i < files; i++)); do
    local d="$1/album $((i % 16))"
    mkdir -p "$d"
    cp "$shm/seed" "$d/IMG_$i.raw"
    printf '%08d' "$i" | dd of="$d/IMG_$i.raw" bs=1 seek=0 conv=notrunc status=none
  done
}

median_time() {  # median_time FROM TO COMMAND...: wall seconds, fresh tree each run
  local from=$1 to=$2
  shift 2
  local times=()
  for ((r = 0; r < runs; r++)); do
    make_tree "$from"
    rm -rf "$to"
    sync
    local s e
    s=$(date +%s.%N)
    "$@" "$from" "$to" >/dev/null
    e=$(date +%s.%N)
    [ ! -e "$from" ] || [ -z "$(find "$from" -type f)" ] || { echo "source not emptied" >&2; exit 1; }
    [ "$(find "$to" -type f | wc -l)" = "$files" ] || { echo "files missing" >&2; exit 1; }
    times+=("$(echo "$e - $s" | bc -l)")
    rm -rf "$to"
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

cp_rm() { cp -r "$1" "$2" && rm -r "$1"; }
cp_sync_rm() { cp -r "$1" "$2" && sync && rm -r "$1"; }
stowra_move() { "$mover" "$1" "$2"; }

for dir in "tmpfs-to-disk $shm/src $disk/dst" "disk-to-tmpfs $disk/src $shm/dst"; do
  set -- $dir
  echo "== $1 ($((files * 8)) MiB)"
  for tool in cp_rm cp_sync_rm stowra_move; do
    t=$(median_time "$2" "$3" "$tool")
    printf '%-12s %6.3f s  %7.1f MiB/s\n' "$tool" "$t" "$(echo "$files * 8 / $t" | bc -l)"
  done
done
