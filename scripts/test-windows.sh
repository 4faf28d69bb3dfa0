#!/usr/bin/env bash
# Cross-builds the engine, stowra-cli.exe, the window stowra.exe and the tests for 64-bit Windows
# with mingw-w64, and runs the tests under wine, headless (the window's on Xvfb), with a Japanese
# locale (code page 932), in a wine prefix made fresh for the run.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
missing=()
for p in mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 googletest locales xvfb xauth fonts-noto-cjk fonts-wine nsis; do
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
if [ -z "${WINEPREFIX:-}" ]; then
  # Nothing of an earlier run (an installed program, a drive letter) is carried into this one.
  export WINEPREFIX=$PWD/build/win-prefix
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
fi
export WINEDEBUG=-all
# No desktop integration, no downloads of the .NET and HTML engines when the prefix is made.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# The window's tests draw on a display of their own; nothing else of the run needs one.
display=""
for n in $(seq 101 199); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    display=:$n
    break
  fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done

echo "== wine"
if ! wine cmd /c exit 0 >/dev/null 2>&1 && ! wine cmd /c exit 0; then
  echo "wine cannot start on this machine: the Windows tests cannot run." >&2
  exit 1
fi
acp=$(wine cmd /c chcp 2>/dev/null | tr -dc '0-9' || true)
echo "wine is up (console code page ${acp:-unknown})"
# Windows without a window manager: wine would wait two seconds for one at every window it hides.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

echo "== win build"
cmake --preset win >/dev/null
cmake --build --preset win -j "$jobs"
echo "== win tests"
# One wineserver for the whole run: when it quits between two test programs, the next one can
# meet a closing server ("recvmsg: connection reset") and fail before its first line. A test
# that fails for wine's own reasons gets one more run; a real fault fails both.
# The server the checks above started may still be lingering, and -p refuses to start beside it.
# The system's services then start again at once, outside any test: a test that started them
# would hand them its output, and ctest would wait for them to close it.
wineserver -k 2>/dev/null || true
wineserver -p
trap 'wineserver -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT
wine cmd /c exit 0 >/dev/null 2>&1 || true
ctest --test-dir build/win --output-on-failure -j "$jobs" --timeout 300 --repeat until-pass:2

echo "== the same commands on Linux and under wine"
# The Windows program prints in code page 932 with CR LF and "\" between folders; turned into the
# Linux form, every output must be the Linux program's, byte for byte.
if [ ! -x build/dev/src/cli/stowra-cli ]; then
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j "$jobs" --target stowra-cli
fi
linux_cli=$PWD/build/dev/src/cli/stowra-cli
windows_cli=$PWD/build/win/src/cli/stowra-cli.exe
work=build/win-compare
rm -rf "$work"
mkdir -p "$work"
cd "$work"
make_tree() {
  mkdir -p "$1/写真/表" "$1/docs" "$1/a b/ソフト"
  for i in $(seq 1 40); do head -c $((i * 37000)) /dev/zero >"$1/写真/表/img$i.jpg"; done
  for i in $(seq 1 20); do head -c $((i * 91000)) /dev/zero >"$1/docs/d$i.pdf"; done
  head -c 700000 /dev/zero >"$1/a b/ソフト/表.txt"
  echo hidden >"$1/.hidden"
}
printf '[Stowra]\r\nMedia=0\r\n[Small]\r\nCluster=2048\r\nTotal=1200\r\nSystem=10\r\nSlack=50\r\n' >s.ini
# (JSON is UTF-8 on both systems; everything else the Windows program prints is code page 932.)
as_linux() {
  if [ "${1:-}" = json ]; then cat; else iconv -f CP932 -t UTF-8; fi | tr -d '\r' \
    | sed 's#\\\\#/#g; s#\\#/#g; s#Z:/#/#g'
}
# The time stamps of the scans, and the files' times in the move's catalogue (the two trees are not
# made in the same second).
stamps() { sed -E 's/[0-9]{8}-[0-9]{6}/STAMP/g; s/"modified": "[^"]*"/"modified": "TIME"/'; }
compare() {  # name, then the command's arguments
  local name=$1
  shift
  local lrc=0 wrc=0
  "$linux_cli" "$@" >"linux.$name" 2>&1 || lrc=$?
  local mode=text
  [[ " $* " == *" --json "* ]] && mode=json
  wine "$windows_cli" "$@" 2>&1 | as_linux $mode >"windows.$name" || wrc=${PIPESTATUS[0]}
  if [ "$lrc" != "$wrc" ] || ! diff -u <(stamps <"linux.$name") <(stamps <"windows.$name"); then
    echo "stowra-cli $* differs under wine (exit codes $lrc and $wrc)" >&2
    exit 1
  fi
  echo "same: $* (exit code $lrc)"
}
make_tree tree
compare scan scan tree --settings s.ini --profile Small
compare scan-json scan tree --settings s.ini --profile Small --json
compare scan-udf scan tree --settings s.ini --profile Small --file-system udf --hidden
compare profiles profiles --settings s.ini
compare profiles-json profiles --settings s.ini --json
compare drives drives
# Names count as the image builders write them (UTF-8), whatever the system's code page.
compare image-size image-size tree/写真 "tree/a b"
compare image-size-udf image-size tree/写真 --file-system udf --json
# Equal files go onto the same discs on both systems: names are ordered by their characters, not
# by the bytes of either system's code page.
mkdir -p order
for n in 予 貼 Ａ ｱ a b; do head -c 300000 /dev/zero >"order/$n.dat"; done
compare order scan order --cluster 2048 --total 300 --system 0 --json
for side in linux windows; do
  make_tree "$side-src"
  mkdir "$side-out"
done
# Each side moves a tree of its own; the outputs name their own folders.
"$linux_cli" move linux-src linux-out --settings s.ini --profile Small --yes --index --remove-empty --json 2>/dev/null \
  | sed 's/linux-/SIDE-/g' >linux.move
wine "$windows_cli" move windows-src windows-out --settings s.ini --profile Small --yes --index --remove-empty \
  --json 2>/dev/null | as_linux json | sed 's/windows-/SIDE-/g' >windows.move
diff -u <(stamps <linux.move) <(stamps <windows.move)
for side in linux windows; do
  (cd "$side-out" && find . -type f | sort | stamps >"../$side.moved")
  (cd "$side-src" && find . | sort >"../$side.left")
  for index in "$side"-out/*/*/_index_*; do
    name=$(basename "$index" | stamps)
    if [ "$side" = windows ]; then as_linux <"$index"; else tr -d '\r' <"$index"; fi >"$side.index.$name"
  done
done
diff -u linux.moved windows.moved
diff -u linux.left windows.left
for index in linux.index.*; do
  diff -u "$index" "windows.${index#linux.}"
done
echo "same: move (files moved, files left, $(ls linux.index.* | wc -l) index files)"

# Folders typed with characters code page 932 lacks are refused, never taken for the look-alike
# folder the ANSI command line would name ("café" for "cafe", "¥" for the delimiter).
mkdir -p args/café args/cafe args/写真¥2024 args/写真/2024
for d in args/café args/cafe args/写真¥2024 args/写真/2024; do head -c 5000 /dev/zero >"$d/f.bin"; done
for typed in 'args\café' 'args\写真¥2024'; do
  rc=0
  wine "$windows_cli" move "$typed" args-out --yes >args.out 2>&1 || rc=$?
  if [ "$rc" != 2 ] || ! iconv -f CP932 -t UTF-8 <args.out | grep -q 'code page\|文字コード'; then
    echo "stowra-cli.exe took '$typed' (exit code $rc)" >&2
    exit 1
  fi
done
[ "$(find args -name f.bin | wc -l)" = 4 ] || { echo "a folder typed on the command line was moved" >&2; exit 1; }
echo "same: arguments the code page cannot spell are refused"

# Names Windows cannot address, seen through Z:, are left in place and counted, never packed.
mkdir -p odd/nul.d odd/ok
for n in 'dot.' 'blank ' CON AUX.txt 'star*.txt' 'q?.txt' nul.d/in ok/fine.txt; do
  head -c 3000 /dev/zero >"odd/$n"
done
wine "$windows_cli" scan odd --json >odd.json 2>/dev/null
skipped=$(grep -o '"skippedNames": *[0-9]*' odd.json | tr -dc '0-9')
if [ "${skipped:-0}" -lt 6 ] || grep -q 'dot\.\"\|CON\|AUX\|star\|blank' odd.json; then
  echo "names Windows cannot address were packed (skipped: ${skipped:-none})" >&2
  cat odd.json >&2
  exit 1
fi
echo "same: $skipped names Windows cannot address left in place"

# A drive letter that leads below the source is inside the source, whatever its volume number.
mkdir -p letter/src/sub
for i in 1 2 3; do head -c 900000 /dev/zero >"letter/src/f$i.bin"; done
ln -sfn "$PWD/letter/src/sub" "$WINEPREFIX/dosdevices/y:"
for dst in 'Y:\' 'letter\src\sub'; do
  rc=0
  wine "$windows_cli" move letter/src "$dst" --total 1000 --system 10 --yes >letter.out 2>&1 || rc=$?
  if [ "$rc" != 1 ] || [ -n "$(ls letter/src/sub)" ]; then
    rm -f "$WINEPREFIX/dosdevices/y:"
    echo "a move into $dst, inside the source through drive Y:, was not refused (exit code $rc)" >&2
    exit 1
  fi
done
rm -f "$WINEPREFIX/dosdevices/y:"
echo "same: a destination inside the source through another drive letter is refused"
cd - >/dev/null
echo "== installer"
# Built with NSIS, installed and uninstalled silently, as an administrator would from a script.
cmake --build --preset win -j "$jobs" --target installer close_window >/dev/null
setup=$(ls build/win/Stowra-*-setup.exe)
installed="$WINEPREFIX/drive_c/Program Files/Stowra"
entry="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Stowra.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Stowra'
fail() { echo "installer: $*" >&2; exit 1; }
wine "$setup" /S
for f in stowra.exe stowra-cli.exe LICENSE.txt README.txt uninstall.exe; do
  [ -f "$installed/$f" ] || fail "$f was not installed"
done
[ -f "$entry" ] || fail "no Start menu entry"
wine reg query "$uninstall_key" /v QuietUninstallString >/dev/null 2>&1 || fail "no uninstaller registered"
version=$(basename "$setup" -setup.exe)
version=${version#Stowra-}
wine 'C:\Program Files\Stowra\stowra-cli.exe' --version | tr -d '\r' | grep -qx "stowra $version" \
  || fail "the installed stowra-cli.exe does not say its version $version"
# The installed window opens, and closes when asked, writing its settings beside itself.
wine 'C:\Program Files\Stowra\stowra.exe' &
window=$!
wine build/win/tests/win32/close_window.exe || fail "the installed window did not open"
wait "$window" || fail "the installed window did not close cleanly"
[ -f "$installed/stowra.ini" ] || fail "the window wrote no settings"
wine 'C:\Program Files\Stowra\uninstall.exe' /S
# The uninstaller runs from a copy of itself and returns at once: wait for it to finish.
for _ in $(seq 1 300); do
  [ -e "$installed/uninstall.exe" ] || break
  sleep 0.2
done
left=$(cd "$installed" && ls -A)
[ "$left" = stowra.ini ] || fail "the uninstaller left more than the settings: $left"
[ ! -e "$entry" ] || fail "the Start menu entry is still there"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then
  fail "the uninstaller is still registered"
fi
echo "same: installed, started, closed and uninstalled silently; the settings stay"
echo "Windows tests passed."
