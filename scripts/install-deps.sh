#!/usr/bin/env bash
# Installs the Debian 12 packages Korvane needs to build, test and run.
# Only packages that are missing are installed; uses sudo when not root.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libarchive-dev
  # zip, unzip and 7z read back and write the archives the archive tests check; Python's zipfile
  # and csv modules read our archives and reports back too.
  zip unzip p7zip-full python3
  googletest libgtest-dev libgmock-dev
  # wmf2svg checks our metafiles in the tests; without the URW fonts it cannot place any text.
  libwmf-bin fonts-urw-base35 fonts-dejavu-core fontconfig
  xvfb xauth
  # The install test checks the desktop entry and the AppStream metadata with these validators.
  desktop-file-utils appstream
  # pdftoppm and pdfinfo read the printed reports back in the tests.
  poppler-utils
  locales tzdata
  # Scan history: QtSql with its SQLite and PostgreSQL drivers; the store tests start a throw-away
  # PostgreSQL cluster of their own.
  libqt6sql6-sqlite libqt6sql6-psql postgresql
  # Fuzz targets: clang with libFuzzer and its sanitizer runtimes.
  clang libfuzzer-14-dev libclang-rt-14-dev
  # The Debian package: building, checking and reading it back; manual pages and completion.
  dpkg-dev debhelper fakeroot lintian man-db bash-completion
  # Other programs that read what Korvane writes: ncdu and gdu read our ncdu exports, trash-cli
  # reads our trash.
  ncdu gdu trash-cli
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
