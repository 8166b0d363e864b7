#!/usr/bin/env bash
# Saves pictures of the main window's pages (offscreen) for a small fixed tree with a build's
# korvane-page-grab, so that two builds can be compared: run it with each build into its own
# folder, on the same tree, and compare the folders file by file (cmp).
#
# usage: bench/page_grab.sh OUTDIR [BUILD_DIR] [TREE_DIR]
# The tree is made once in TREE_DIR (default /tmp/korvane-page-grab-tree) and used again after:
# its folders' access times then stay as the first run left them.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
build=${2:-build}
tree=${3:-/tmp/korvane-page-grab-tree}

if [ ! -f "$tree/.done" ]; then
  rm -rf "${tree:?}/T"
  mkdir -p "$tree/T"
  file() { mkdir -p "$(dirname "$tree/T/$1")"; head -c "$2" /dev/zero >"$tree/T/$1"; }
  file Data/Photos/a.jpg 300000
  file Data/Photos/b.jpg 120000
  file Data/Photos/Inner/c.jpg 64000
  file Data/Letters/c.txt 9000
  file Data/Letters/d.txt 700
  file Data/Music/d.ogg 20000
  file Data/Music/e.ogg 5000000
  file Data/readme.txt 1500
  file Data/big.iso 2500000
  file Data/tiny.txt 3
  file Other/x.bin 4096
  # Fixed times; the folders' access times a first scan may set are kept by later runs.
  find "$tree/T" -exec touch -h -d '2024-05-01 12:00:00' {} +
  touch "$tree/.done"
fi
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$build/bench/korvane-page-grab" "$tree/T" "$out" \
  2> >(grep -v -e 'does not support' -e 'XDG_RUNTIME_DIR' >&2)
