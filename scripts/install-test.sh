#!/usr/bin/env bash
# Installs the Debian package and runs the installed programs: `stowra-cli --version`, a scan of a
# sample folder in Japanese and in English, and `stowra --version`.
# In CI (CI=true, as root) the package is installed on the machine with apt-get, which also
# proves its dependencies, and removed again afterwards; elsewhere it is unpacked into a
# throw-away root after apt-get has checked, without installing anything, that its dependencies
# can be met.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(realpath "$(scripts/package.sh | tail -1)")
work=$(mktemp -d /tmp/stowra-install.XXXXXX)
installed=""
cleanup() {
  if [ -n "$installed" ]; then
    dpkg -r stowra >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
if [ "${CI:-}" = "true" ] && [ -z "$SUDO" ]; then
  if dpkg-query -W -f='${Status}' stowra 2>/dev/null | grep -q "install ok installed"; then
    echo "stowra is already installed on this machine: not replacing it" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
  installed=yes
  root=""
else
  $SUDO apt-get install -s -qq "$deb" >/dev/null
  dpkg-deb -x "$deb" "$work/root"
  root="$work/root"
fi
cli="$root/usr/bin/stowra-cli"

expect() {
  if [ "$2" != "$3" ]; then
    printf 'install test: %s\n  expected: %s\n  got:      %s\n' "$1" "$3" "$2" >&2
    exit 1
  fi
}

version=$(dpkg-deb -f "$deb" Version)  # both come from the project's one version
expect "stowra-cli --version" "$("$cli" --version)" "stowra $version"
expect "stowra --version" "$("$root/usr/bin/stowra" --version)" "stowra $version"
# Without a display the window says so and exits 1, as its manual page promises.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/stowra" >/dev/null 2>&1 || status=$?
expect "stowra without a display" "$status" "1"

sample="$work/写真"
mkdir -p "$sample/2004"
for i in 1 2 3; do head -c $((i * 300000)) /dev/zero >"$sample/2004/img$i.jpg"; done
scan() {
  env -u LC_ALL -u LC_MESSAGES LANG="$1" "$cli" scan "$sample" --total 400 --system 10 | head -4
}
expect "scan in Japanese" "$(scan ja_JP.UTF-8)" "対象ファイル数 = 3 （サイズ = 1.7188 MiB）
うまく詰め込めなかった残りファイル数 = 2 （サイズ = 1.1465 MiB）
必要なメディア枚数 = 1
平均詰め込み率 = 75.7500 %"
expect "scan in English" "$(scan en_US.UTF-8)" "Files = 3 (size = 1.7188 MiB)
Files left over = 2 (size = 1.1465 MiB)
Discs needed = 1
Average fill rate = 75.7500 %"
echo "installed and ran: $deb${root:+ (unpacked into a throw-away root)}"
