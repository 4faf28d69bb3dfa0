#!/usr/bin/env bash
# The checksums of a move against doing it by hand. 4 GiB of random bytes (64 files of 64 MiB in 8
# folders) moved by `stowra-cli move` onto one disc:
#   within one file system (disk to disk): `move --checksums` against `move` followed by
#   `sha256sum` of every moved file;
#   across file systems (tmpfs to disk): `move --checksums` against `move`.
# Each figure is the median of the runs, each on a fresh tree, after sync.
# Usage: bench/move_checksums.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
cli=$(realpath "$build/src/cli/stowra-cli")
shm=${STOWRA_BENCH_SHM:-/dev/shm}/stowra-bench-sums
disk=${STOWRA_BENCH_DISK:-/tmp}/stowra-bench-sums
files=${STOWRA_BENCH_FILES:-64}
runs=${STOWRA_BENCH_RUNS:-3}

cleanup() { rm -rf "$shm" "$disk"; }
trap cleanup EXIT
cleanup
mkdir -p "$shm" "$disk"
head -c 64M /dev/urandom > "$shm/seed"

make_tree() {  # make_tree DIR: the test tree, not timed; every file different
  rm -rf "$1"
  for ((i = 0; i < files; i++)); do
    local d="$1/album $((i % 8))"
    mkdir -p "$d"
    cp "$shm/seed" "$d/IMG_$i.raw"
    printf '%08d' "$i" | dd of="$d/IMG_$i.raw" bs=1 seek=0 conv=notrunc status=none
  done
}

# One BD-R of 2048-byte sectors takes the whole tree; --last-disc packs it although it is not full.
move() { "$cli" move "$1" "$2" --total 12219392 --system 0 --last-disc --yes "${@:3}" >/dev/null 2>&1; }
with_sums() { move "$1" "$2" --checksums; }
without() { move "$1" "$2"; }
by_hand() { move "$1" "$2" && (cd "$2" && find . -type f -name 'IMG_*' -print0 | xargs -0 sha256sum >/dev/null); }

median_time() {  # median_time FROM TO COMMAND: wall seconds, fresh tree each run
  local from=$1 to=$2 cmd=$3
  local times=()
  for ((r = 0; r < runs; r++)); do
    make_tree "$from"
    rm -rf "$to"
    mkdir -p "$to"
    sync
    local s e
    s=$(date +%s.%N)
    "$cmd" "$from" "$to"
    e=$(date +%s.%N)
    [ "$(find "$to" -type f -name 'IMG_*' | wc -l)" = "$files" ] || { echo "files missing" >&2; exit 1; }
    times+=("$(echo "$e - $s" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

echo "== within one file system ($((files * 64)) MiB, disk to disk)"
a=$(median_time "$disk/src" "$disk/dst" with_sums)
b=$(median_time "$disk/src" "$disk/dst" by_hand)
printf 'move --checksums %.2f s   move + sha256sum %.2f s   ratio %.2f\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"
echo "== across file systems ($((files * 64)) MiB, tmpfs to disk)"
a=$(median_time "$shm/src" "$disk/dst" with_sums)
b=$(median_time "$shm/src" "$disk/dst" without)
printf 'move --checksums %.2f s   move %.2f s   ratio %.2f\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"
