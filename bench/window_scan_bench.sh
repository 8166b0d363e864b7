#!/usr/bin/env bash
# Times a drive scan through the main window (offscreen, the folder tree view filling) against
# korvane-scan on the benchmark tree, alternating runs, and prints the median ratio and the
# longest wait of the event queue during the window's scans.
#
# usage: bench/window_scan_bench.sh [RUNS]   (KORVANE_BENCH_DIR sets where the trees are built)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-bench}

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane-scan korvane-bench-tree korvane-window-scan-bench >/dev/null

# The same tree as scan_bench.sh.
if [ ! -f "$dir/tree.done" ]; then
  rm -rf "${dir:?}/tree"
  mkdir -p "$dir"
  build/bench/korvane-bench-tree "$dir/tree" 60000 275000
  touch "$dir/tree.done"
fi

# The offscreen platform's notices about window calls it ignores are dropped.
QT_QPA_PLATFORM=offscreen build/bench/korvane-window-scan-bench "$dir/tree" build/app/korvane-scan "$runs" \
  2> >(grep -v -e 'does not support' -e 'XDG_RUNTIME_DIR' >&2)
