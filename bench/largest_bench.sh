#!/usr/bin/env bash
# The walk for the largest files and the file types against du -s on the scan benchmark's tree
# (60,000 folders and 275,000 sparse files), warm cache, alternating runs, medians of wall and
# CPU time. Then the checks against find: the on-disk figure of korvane-scan equals the blocks
# of every entry that is not a folder, once per inode, and --largest 100 lists find's 100
# largest files in the same order (equal sizes by path).
#
# usage: bench/largest_bench.sh [RUNS]   (KORVANE_BENCH_DIR sets where the tree is built)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-bench}
tree=$dir/tree

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane-scan korvane-bench-tree korvane-file-walk-bench >/dev/null
if [ ! -f "$dir/tree.done" ]; then
  rm -rf "$tree"
  mkdir -p "$dir"
  build/bench/korvane-bench-tree "$tree" 60000 275000
  touch "$dir/tree.done"
fi

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
calc() { awk "BEGIN { print $1 }"; }
measure() {
  local TIMEFORMAT='%R %U %S' out
  out=$({ time "$@" >/dev/null 2>&1; } 2>&1 | tail -1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$out"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
du -s "$tree" >/dev/null; build/bench/korvane-file-walk-bench "$tree" >/dev/null  # warm the cache
dw=() dc=() kw=() kc=() ow=() oc=() sw=() sc=()
for ((i = 1; i <= runs; i++)); do
  read -r w c < <(measure du -s "$tree"); dw+=("$w"); dc+=("$c")
  read -r w c < <(measure build/bench/korvane-file-walk-bench "$tree" 100); kw+=("$w"); kc+=("$c")
  read -r w c < <(measure env KORVANE_SCAN_THREADS=0 build/bench/korvane-file-walk-bench "$tree" 100); ow+=("$w"); oc+=("$c")
  read -r w c < <(measure build/app/korvane-scan "$tree"); sw+=("$w"); sc+=("$c")
done
duw=$(printf '%s\n' "${dw[@]}" | median); duc=$(printf '%s\n' "${dc[@]}" | median)
report() {  # name walls... / cpus...
  local name=$1 w=$2 c=$3
  printf '%-28s wall %7.3f s (%.2fx du)   cpu %7.3f s (%.2fx du)\n' "$name" "$w" "$(calc "$w / $duw")" "$c" "$(calc "$c / $duc")"
}
echo "== $tree: largest 100 files and the types, medians of $runs alternating runs (target <= 0.6x du wall)"
report "du -s" "$duw" "$duc"
report "walk" "$(printf '%s\n' "${kw[@]}" | median)" "$(printf '%s\n' "${kc[@]}" | median)"
report "walk, one thread" "$(printf '%s\n' "${ow[@]}" | median)" "$(printf '%s\n' "${oc[@]}" | median)"
report "korvane-scan (for reference)" "$(printf '%s\n' "${sw[@]}" | median)" "$(printf '%s\n' "${sc[@]}" | median)"

echo "== checks against find"
scan=$(build/app/korvane-scan --largest 100 "$tree")
ondisk=$(awk -F': ' '$1 == "on-disk" { print $2 }' <<<"$scan")
found=$(find "$tree" -mindepth 1 ! -type d -printf '%i %b\n' | awk '!seen[$1]++ { s += $2 } END { printf "%d", s * 512 }')
echo "on-disk: korvane-scan $ondisk, find $found: $([ "$ondisk" = "$found" ] && echo equal || echo DIFFERENT)"
ours=$(grep '^file: ' <<<"$scan" | cut -d' ' -f2-)
theirs=$(find "$tree" -mindepth 1 ! -type d -printf '%s %p\n' | LC_ALL=C sort -k1,1nr -k2 | awk 'NR <= 100')
echo "largest 100: $([ "$ours" = "$theirs" ] && echo "equal to find's" || echo DIFFERENT)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
