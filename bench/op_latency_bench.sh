#!/usr/bin/env bash
# Moves about 1 GB (20 files of 50 MB) from the disk to a tmpfs (/dev/shm) through the operation
# progress window and prints how long the event queue waited and a menu took to open meanwhile.
#
# usage: bench/op_latency_bench.sh   (KORVANE_BENCH_DIR sets where the disk side lives)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-op-latency}
ram=/dev/shm/korvane-op-latency-$$

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane-op-latency-bench >/dev/null

cleanup() { rm -rf "${dir:?}" "${ram:?}"; }
trap cleanup EXIT
mkdir -p "$dir/src" "$ram"
for i in $(seq 1 20); do head -c 52428800 /dev/urandom > "$dir/src/f$i"; done
sync
QT_QPA_PLATFORM=offscreen build/bench/korvane-op-latency-bench "$dir/src" "$ram/dst" \
  2> >(grep -v -e 'does not support' -e 'XDG_RUNTIME_DIR' >&2)
