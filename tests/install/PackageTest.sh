#!/bin/bash
# Reads a Debian package of Korvane back: its control fields (the version of the build, the
# machine's architecture, dependencies worked out from the binaries) and its files (the three
# programs, what the desktop and a software centre read, the help, the licence, the manual pages
# and the completion, all under /usr).
# usage: PackageTest.sh DEB SOURCE-FOLDER
set -u
deb=$1
source=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -s "$deb" ] || { echo "FAIL: no package $deb"; exit 1; }
field() { dpkg-deb -f "$deb" "$1"; }

version=$(sed -nE 's/^project\(Korvane VERSION ([0-9.]+).*/\1/p' "$source/CMakeLists.txt")
[ "$(field Package)" = korvane ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the project is at $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
case $(basename "$deb") in
  "korvane_${version}_$(dpkg --print-architecture).deb") ;;
  *) fail "file name $(basename "$deb")" ;;
esac
depends=$(field Depends)
# Worked out from the binaries: the C library, Qt's libraries and libarchive, with versions.
for library in 'libc6 (>= ' 'libqt6core6' 'libqt6widgets6' 'libqt6gui6' 'libqt6svg6' 'libarchive13 (>= ' 'libstdc++6 (>= '; do
  grep -qF -- "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
[ -n "$(field Installed-Size)" ] || fail "no Installed-Size"
dpkg-deb -I "$deb" | grep -q '^ Description: ' || fail "no Description"
dpkg-deb -I "$deb" md5sums >/dev/null 2>&1 || fail "no md5sums"

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||')
expected=(
  /usr/bin/korvane /usr/bin/korvane-scan /usr/bin/korvane-free
  /usr/share/applications/org.morvell.Korvane.desktop
  /usr/share/icons/hicolor/scalable/apps/org.morvell.Korvane.svg
  /usr/share/metainfo/org.morvell.Korvane.metainfo.xml
  /usr/share/doc/korvane/copyright /usr/share/doc/korvane/changelog.gz /usr/share/doc/korvane/license.txt
  /usr/share/man/man1/korvane.1.gz /usr/share/man/man1/korvane-scan.1.gz /usr/share/man/man1/korvane-free.1.gz
  /usr/share/bash-completion/completions/korvane
  /usr/share/bash-completion/completions/korvane-scan
  /usr/share/bash-completion/completions/korvane-free
)
for topic in "$source"/shell/help/*.html; do
  expected+=("/usr/share/doc/korvane/help/$(basename "$topic")")
done
for path in "${expected[@]}"; do
  grep -qxF -- "$path" <<<"$files" || fail "the package does not hold $path"
done
outside=$(grep -vE '^/(usr(/.*)?)?$' <<<"$files")
[ -z "$outside" ] || fail "files outside /usr: $outside"
grep -q '^/usr/local' <<<"$files" && fail "files under /usr/local"

# The programs are executable by everyone and owned by root.
dpkg-deb -c "$deb" | awk '$6 ~ /usr\/bin\/korvane/ && ($1 != "-rwxr-xr-x" || $2 != "root/root") { print }' |
  grep . && fail "programs with the wrong mode or owner"

[ "$failures" -eq 0 ] || exit 1
echo "package $deb: control fields and files as expected"
