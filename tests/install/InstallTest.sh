#!/bin/sh
# Installs the build into a temporary prefix and checks what a desktop and a software centre
# read: the three programs answer --help and --version, the desktop entry and the AppStream
# metadata pass their validators, and the icon, licence and help topics are where they belong.
# usage: InstallTest.sh BUILD-FOLDER
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT INT TERM

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"

for program in korvane korvane-scan korvane-free; do
  [ -x "$prefix/bin/$program" ] || fail "$program is not installed in $prefix/bin"
  version=$("$prefix/bin/$program" --version) || fail "$program --version exits with an error"
  case $version in
    "$program 3.0.1"*) ;;
    *) fail "$program --version says: $version" ;;
  esac
  "$prefix/bin/$program" --help | head -n 1 | grep -q "^usage: $program" || fail "$program --help"
done
# An installed program does its work: the scanner adds up a folder of its own.
"$prefix/bin/korvane-scan" "$prefix/share" | grep -q '^files: [1-9]' || fail "installed korvane-scan"

desktop="$prefix/share/applications/org.morvell.Korvane.desktop"
metainfo="$prefix/share/metainfo/org.morvell.Korvane.metainfo.xml"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"

icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -s "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon"
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$program" ] || fail "the desktop entry starts $program, which is not installed"
[ -s "$prefix/share/doc/korvane/license.txt" ] || fail "licence"
for topic in "$(dirname "$0")"/../../shell/help/*.html; do
  [ -s "$prefix/share/doc/korvane/help/$(basename "$topic")" ] || fail "help topic $(basename "$topic")"
done
# The daily snapshot timer: installed, not enabled, and its service runs the installed scanner.
units="$prefix/lib/systemd/user"
[ -s "$units/korvane-snapshot.timer" ] || fail "korvane-snapshot.timer"
grep -q '^OnCalendar=daily' "$units/korvane-snapshot.timer" || fail "the timer is not daily"
grep -qx "ExecStart=$prefix/bin/korvane-scan --save %h" "$units/korvane-snapshot.service" || fail "korvane-snapshot.service"
echo "installed and validated in $prefix"
