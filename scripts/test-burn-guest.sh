#!/usr/bin/env bash
# Burns a disc folder onto tgt's emulated blank DVD+R in a QEMU guest, through the guest kernel's
# real sr/sg drivers and SG_IO: the burn must write, read back and report success, a second burn
# onto the written disc must be refused, and the disc (tgt's backing file) must hold the folder.
# Usage: scripts/test-burn-guest.sh [STOWRA_CLI]   (default: build/dev/src/cli/stowra-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(readlink -f "${1:-build/dev/src/cli/stowra-cli}")
work=$(mktemp -d)
kept=""
cleanup() {
  rm -rf "$work"
  if [ -n "$kept" ]; then rm -rf "$kept"; fi
}
trap cleanup EXIT

# Some tens of MB: the folder travels in the guest's initramfs.
stamp=20261209-120000
disc="$work/$stamp/1"
mkdir -p "$disc/写真/2019" "$disc/docs"
head -c 16000000 /dev/urandom >"$disc/写真/2019/大きなファイル.bin"
head -c 6000000 /dev/urandom >"$disc/docs/report with a long name for Joliet and Rock Ridge.pdf"
echo "hello" >"$disc/.hidden"
: >"$disc/empty.txt"

cat >"$work/guest.sh" <<'GUEST'
#!/bin/sh
cd /guest
./stowra-cli burn --yes --device /dev/sr0 /guest/20261209-120000/1
first=$?
./stowra-cli burn --yes --device /dev/sr0 /guest/20261209-120000/1
second=$?
echo "first=$first second=$second"
[ "$first" -eq 0 ] && [ "$second" -eq 1 ]
GUEST
chmod +x "$work/guest.sh"

status=0
PIG_KEEP=1 scripts/vm/probe-in-guest.sh --drive tgt-dvdplusr --timeout 300 --with "$cli" \
  --with "$work/$stamp" -- "$work/guest.sh" >"$work/out" 2>"$work/err" || status=$?
kept=$(sed -n 's/^probe-in-guest: kept //p' "$work/err" | tail -1)
cat "$work/out"
if [ "$status" -ne 0 ]; then
  cat "$work/err" >&2
  echo "guest burn: exit $status" >&2
  exit 1
fi
grep -q "first=0 second=1" "$work/out"
# The disc holds the folder, file for file, and its MD5 tags match.
xorriso -osirrox on -indev "$kept/blank.img" -extract / "$work/back" >/dev/null 2>&1
diff -r "$disc" "$work/back"
xorriso -md5 on -indev "$kept/blank.img" -check_md5_r SORRY / -- >/dev/null 2>&1
echo "guest burn: written, verified, a second burn refused, the disc holds the folder"
