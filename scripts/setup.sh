#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the screenshots need.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  qt6-base-dev libgl-dev
  xvfb xauth fonts-noto-cjk qt6-translations-l10n
  dpkg-dev file gzip groff-base desktop-file-utils appstream
  fpart bc locales
  xorriso genisoimage
  libisofs-dev libburn-dev
  qemu-system-x86 qemu-block-extra tgt busybox-static cpio
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# A locale with a decimal comma, for the test that numbers keep their decimal point, and the
# Japanese one, under which wine gives Windows programs code page 932.
make_locales() {
  for name in de_DE ja_JP; do
    if ! locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8$"; then
      $([ "$(id -u)" -ne 0 ] && echo sudo) localedef -i $name -f UTF-8 $name.UTF-8
    fi
  done
}

if [ ${#missing[@]} -eq 0 ]; then
  make_locales
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
make_locales
