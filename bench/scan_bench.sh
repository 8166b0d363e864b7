#!/usr/bin/env bash
# Times korvane-scan against du -s on a deterministic tree (about 60,000 folders and 300,000
# sparse files), warm cache, alternating runs, and prints the median ratio. Also reports the
# memory the scan keeps per folder, and per file by comparing with the same folders without files.
#
# usage: bench/scan_bench.sh [RUNS]   (KORVANE_BENCH_DIR sets where the trees are built)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-bench}
folders=60000
files=300000

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane-scan korvane-bench-tree >/dev/null

make_tree() {  # name folders files
  if [ ! -f "$dir/$1.done" ]; then
    rm -rf "${dir:?}/$1"
    mkdir -p "$dir"
    build/bench/korvane-bench-tree "$dir/$1" "$2" "$3"
    touch "$dir/$1.done"
  fi
}
make_tree tree "$folders" "$files"
make_tree folders-only "$folders" 0
make_tree half-folders-only $((folders / 2)) 0

now() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }
elapsed() {  # command...
  local start end
  start=$(now)
  "$@" >/dev/null
  end=$(now)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

# Warm the cache.
du -s "$dir/tree" >/dev/null
build/app/korvane-scan "$dir/tree" >/dev/null

ratios=()
for ((i = 1; i <= runs; i++)); do
  t_du=$(elapsed du -s "$dir/tree")
  t_k=$(elapsed build/app/korvane-scan "$dir/tree")
  ratio=$(calc "$t_k / $t_du")
  ratios+=("$ratio")
  printf 'run %d: du -s %.3f s, korvane-scan %.3f s, ratio %.3f\n' "$i" "$t_du" "$t_k" "$ratio"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
printf 'median ratio korvane-scan / du -s: %.3f (target: at most 0.8)\n' "$median"

per_folder() {  # tree
  build/app/korvane-scan "$1" | awk -F': ' '
    $1 == "folders" { f = $2 } $1 == "files" { n = $2 }
    $1 == "start-rss-bytes" { s = $2 } $1 == "peak-rss-bytes" { p = $2 }
    END { printf "%d %d %d\n", f, n, p - s }'
}
# Growth of the peak resident size over the scan. What one more folder or file costs is the
# slope between trees that differ only in that; the fixed part (libraries loaded on first use,
# read buffers) is in the totals only.
read -r f1 n1 grown1 < <(per_folder "$dir/tree")
read -r f2 n2 grown2 < <(per_folder "$dir/folders-only")
read -r f3 n3 grown3 < <(per_folder "$dir/half-folders-only")
printf 'memory: %d folders + %d files: %d bytes in all, %.1f bytes per folder\n' \
  "$f1" "$n1" "$grown1" "$(calc "$grown1 / ($f1 + 1)")"
printf 'memory: %d folders, no files: %d bytes; %d folders: %d bytes\n' "$f2" "$grown2" "$f3" "$grown3"
printf 'memory per folder (slope): %.1f bytes (target: at most 300)\n' "$(calc "($grown2 - $grown3) / ($f2 - $f3)")"
printf 'memory per file: %.2f bytes (target: 0)\n' "$(calc "($grown1 - $grown2) / $n1")"
