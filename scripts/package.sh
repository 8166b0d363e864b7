#!/usr/bin/env bash
# Makes the Debian package korvane_VERSION_ARCH.deb (in the current folder, or OUTPUT-FOLDER)
# from the build in build/ (or BUILD-FOLDER): the build is installed into /usr of a staging folder
# and debhelper's tools do the rest as in a Debian build (strip, compress the manual pages and the
# changelog, fix permissions, work out the dependencies from the binaries, md5sums). The build is
# not compiled again: a build that is up to date is used as it is. lintian checks the result and
# any error fails the script.
# usage: package.sh [BUILD-FOLDER [OUTPUT-FOLDER]]   (both relative to the current folder)
set -euo pipefail
mkdir -p "${2:-.}"
out=$(realpath "${2:-.}")
build=$(realpath -m "${1:-build}")
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja
fi
cmake --build "$build" -j "$(nproc)" --target korvane korvane-scan korvane-free

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
logged=$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)
if [ "$logged" != "$version" ]; then
  echo "package.sh: packaging/debian/changelog is at $logged but the project at $version:" \
       "add a changelog entry" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/debian"
cp packaging/debian/control packaging/debian/changelog packaging/debian/copyright "$work/debian/"

umask 022
DESTDIR="$work/debian/korvane" cmake --install "$build" --prefix /usr >/dev/null

cd "$work"
export DH_QUIET=1
dh_testdir
dh_installdocs
dh_installchangelogs
dh_compress
dh_fixperms
dh_strip --no-automatic-dbgsym
dh_shlibdeps
dh_installdeb
dh_gencontrol
dh_md5sums
dh_builddeb --destdir="$out"

deb="$out/korvane_${version}_$(dpkg --print-architecture).deb"
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb"
fi
echo "package: $deb"
