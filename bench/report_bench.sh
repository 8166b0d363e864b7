#!/usr/bin/env bash
# Times an unattended folder-information report (korvane /RINF ... /Q, which scans the folder
# itself) against korvane-scan on the same deterministic tree (about 60,000 folders and 300,000
# sparse files), warm cache, alternating runs, and prints the medians and their ratio.
#
# usage: bench/report_bench.sh [RUNS]   (KORVANE_BENCH_DIR sets where the tree is built)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-bench}

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane korvane-scan korvane-bench-tree >/dev/null

if [ ! -f "$dir/tree.done" ]; then
  rm -rf "${dir:?}/tree"
  mkdir -p "$dir"
  build/bench/korvane-bench-tree "$dir/tree" 60000 300000
  touch "$dir/tree.done"
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export KORVANE_DRIVES="T=$dir/tree"
export KORVANE_REGISTRY_DIR="$out/registry"

elapsed() {  # command...
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

du -s "$dir/tree" >/dev/null  # warm the cache
scan=() report=()
for ((i = 0; i < runs; i++)); do
  scan+=("$(elapsed build/app/korvane-scan "$dir/tree")")
  report+=("$(elapsed build/app/korvane /RINF 'T:\' "$out/report" /Q)")
done
test -s "$out/report.txt"
s=$(printf '%s\n' "${scan[@]}" | median)
r=$(printf '%s\n' "${report[@]}" | median)
echo "runs: $runs"
echo "korvane-scan-median-seconds: $s"
echo "report-median-seconds: $r"
awk -v s="$s" -v r="$r" 'BEGIN { printf "ratio: %.2f\n", r / s }'
