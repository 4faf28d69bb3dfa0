#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh builds: every file that `cmake --install`
# lays out is in it, its dependencies were computed, and the desktop entry, the AppStream
# metainfo, the manual pages and the shell completion pass their validators.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(scripts/package.sh | tail -1)
stage=$(mktemp -d /tmp/stowra-stage.XXXXXX)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install build/package >/dev/null

fail=0
problem() {
  echo "package: $*" >&2
  fail=1
}

# Every installed file, and nothing else, in the package.
(cd "$stage" && find . -type f -o -type l | sed 's|^\./|/|' | sort) >"$stage.installed"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|' | sort >"$stage.packaged"
if ! diff -u "$stage.installed" "$stage.packaged" >&2; then
  problem "the package and 'cmake --install' differ (- installed only, + packaged only)"
fi
for f in /usr/bin/stowra /usr/bin/stowra-cli /usr/share/applications/io.github.stowra.Stowra.desktop \
  /usr/share/metainfo/io.github.stowra.Stowra.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/io.github.stowra.Stowra.svg \
  /usr/share/icons/hicolor/16x16/apps/io.github.stowra.Stowra.png \
  /usr/share/icons/hicolor/256x256/apps/io.github.stowra.Stowra.png \
  /usr/share/man/man1/stowra.1.gz /usr/share/man/man1/stowra-cli.1.gz \
  /usr/share/bash-completion/completions/stowra-cli /usr/share/doc/stowra/copyright; do
  grep -qx "$f" "$stage.packaged" || problem "missing $f"
done
rm -f "$stage.installed" "$stage.packaged"

# Dependencies: the Qt libraries found by dpkg-shlibdeps, and the two listed by hand.
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libc6 libstdc++6 fonts-noto-cjk qt6-translations-l10n; do
  [[ $depends == *"$p"* ]] || problem "Depends lacks $p: $depends"
done

desktop-file-validate "$stage/usr/share/applications/io.github.stowra.Stowra.desktop" || problem "desktop entry"
appstreamcli validate --no-net "$stage/usr/share/metainfo/io.github.stowra.Stowra.metainfo.xml" >/dev/null ||
  problem "metainfo (appstreamcli validate --no-net)"
for page in stowra stowra-cli; do
  warnings=$(zcat "$stage/usr/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || problem "man page $page: $warnings"
done
bash -n "$stage/usr/share/bash-completion/completions/stowra-cli" || problem "bash completion"

# The manual page names every command and option of the program.
help=$("$stage/usr/bin/stowra-cli" --help)
manual=$(zcat "$stage/usr/share/man/man1/stowra-cli.1.gz" | sed 's/\\-/-/g')
for command in $(sed -n '/^Subcommands:/,$ s/^  \([a-z-]*\) .*/\1/p' <<<"$help"); do
  options=$("$stage/usr/bin/stowra-cli" "$command" --help | grep -o -- '--[a-z-]*' | sort -u)
  for word in "$command" $options; do
    grep -qw -- "$word" <<<"$manual" ||
      problem "stowra-cli(1) does not mention '$word'"
  done
done

[ $fail -eq 0 ] || exit 1
echo "package checked: $deb"
