#!/usr/bin/env bash
# Times the scan history on the benchmark tree (60,000 folders, 275,000 files): saving a snapshot
# into SQLite and into a throw-away local PostgreSQL server, loading two and comparing them, and
# the bytes a folder takes in the SQLite file. Also prints the machine's load, since other work
# on it distorts the figures.
# usage: bench/history_bench.sh [RUNS]   (KORVANE_BENCH_DIR sets where the tree is built)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-bench}

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane-history-bench korvane-bench-tree >/dev/null
if [ ! -f "$dir/tree.done" ]; then
  rm -rf "${dir:?}/tree"
  mkdir -p "$dir"
  build/bench/korvane-bench-tree "$dir/tree" 60000 275000
  touch "$dir/tree.done"
fi
echo "load-average: $(cut -d' ' -f1-3 /proc/loadavg)"
build/bench/korvane-history-bench "$dir/tree" "$runs"
