#!/usr/bin/env bash
# Times korvane-free move against mv on the same tree (about 1 GB in 5,000 files of mixed sizes
# in 50 folders) across file systems: a folder on the disk and a tmpfs mounted for the run, both
# directions, alternating runs with a fresh copy of the tree each time, and prints the medians.
# Needs root (for the tmpfs). korvane-free flushes every file before it removes its source; mv
# does not, so the direction onto the disk also shows what that safety costs.
#
# usage: bench/move_bench.sh [RUNS]   (KORVANE_BENCH_DIR sets where the disk side lives)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-move-bench}
free=$PWD/build/app/korvane-free

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane-free >/dev/null

mkdir -p "$dir/disk" "$dir/ram"
mountpoint -q "$dir/ram" || mount -t tmpfs -o size=3g none "$dir/ram"
cleanup() { umount -l "$dir/ram" 2>/dev/null || true; rm -rf "${dir:?}"; }
trap cleanup EXIT

# The reference tree: 5,000 files, sizes from 4 KB to about 400 KB, 1 GB in all.
ref="$dir/disk/ref"
if [ ! -d "$ref" ]; then
  mkdir -p "$ref"
  for d in $(seq 0 49); do
    mkdir -p "$ref/d$d"
    for f in $(seq 0 99); do
      size=$(( (d * 100 + f) * 7919 % 400 + 4 ))
      head -c "${size}K" /dev/urandom >"$ref/d$d/f$f"
    done
  done
fi
echo "tree: $(find "$ref" -type f | wc -l) files, $(du -sm "$ref" | cut -f1) MB"

now() { date +%s.%N; }
timed() { local s e; s=$(now); "$@" >/dev/null; e=$(now); awk -v a="$s" -v b="$e" 'BEGIN { print b - a }'; }
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

bench() {  # name from-base to-base
  local name=$1 from=$2 to=$3 ours=() theirs=()
  for i in $(seq "$runs"); do
    for tool in ours mv; do
      rm -rf "$from/src" "$to/dst"
      cp -a "$ref" "$from/src"
      sync
      if [ $tool = ours ]; then
        ours+=("$(timed "$free" move "$from/src" "$to/dst")")
      else
        mkdir -p "$to/dst"
        theirs+=("$(timed sh -c "mv '$from/src'/* '$to/dst/' && rmdir '$from/src'")")
      fi
    done
  done
  local o m
  o=$(printf '%s\n' "${ours[@]}" | median)
  m=$(printf '%s\n' "${theirs[@]}" | median)
  echo "$name: korvane-free ${ours[*]} (median $o s); mv ${theirs[*]} (median $m s); ratio $(awk -v a="$o" -v b="$m" 'BEGIN { printf "%.2f", a / b }')"
  rm -rf "$from/src" "$to/dst"
}

bench "disk to tmpfs" "$dir/disk" "$dir/ram"
bench "tmpfs to disk" "$dir/ram" "$dir/disk"
