#!/usr/bin/env bash
# Cross-builds the engine, stowra-cli.exe and the engine tests for 64-bit Windows with mingw-w64,
# and runs the tests under wine, headless, with a Japanese locale (code page 932).
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
missing=()
for p in mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 googletest locales; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

jobs=${STOWRA_JOBS:-2}
# Under a Japanese locale wine gives Windows programs the ANSI code page 932.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEPREFIX=${WINEPREFIX:-$PWD/build/win-prefix}
export WINEDEBUG=-all
# No desktop integration, no downloads of the .NET and HTML engines when the prefix is made.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY

echo "== wine"
if ! wine cmd /c exit 0 >/dev/null 2>&1 && ! wine cmd /c exit 0; then
  echo "wine cannot start on this machine: the Windows tests cannot run." >&2
  exit 1
fi
acp=$(wine cmd /c chcp 2>/dev/null | tr -dc '0-9' || true)
echo "wine is up (console code page ${acp:-unknown})"

echo "== win build"
cmake --preset win >/dev/null
cmake --build --preset win -j "$jobs"
echo "== win tests"
ctest --test-dir build/win --output-on-failure -j "$jobs" --timeout 300
echo "Windows tests passed."
