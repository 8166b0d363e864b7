#!/usr/bin/env bash
# Times korvane-scan against du -s on a deterministic tree (60,000 folders and 275,000 sparse
# files), warm cache, alternating runs, and prints medians: wall time, and CPU time (user +
# system), which a loaded machine distorts less. korvane-scan runs with its default read-ahead
# workers and with none (KORVANE_SCAN_THREADS=0, everything on one thread); ncdu and gdu run
# beside them when they are installed.
#
# Then memory: what the scan keeps per folder (the slope between trees with the same files in
# different numbers of folders) and per file, and a tree of 1,000,000 files in 100,000 folders
# to show that time and memory grow linearly.
#
# usage: bench/scan_bench.sh [RUNS]   (KORVANE_BENCH_DIR sets where the trees are built;
#        KORVANE_BENCH_BIG=0 leaves the large tree out)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-bench}
big=${KORVANE_BENCH_BIG:-1}

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
make_tree tree 60000 275000
make_tree folders-only 60000 0
make_tree half-folders-only 30000 0
if [ "$big" != 0 ]; then make_tree big 100000 1000000; fi

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
calc() { awk "BEGIN { print $1 }"; }

# Prints "wall cpu" in seconds for one run of a command.
measure() {
  local TIMEFORMAT='%R %U %S' out
  out=$({ time "$@" >/dev/null 2>&1; } 2>&1 | tail -1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$out"
}

tools=(du korvane korvane-one-thread)
command -v ncdu >/dev/null && tools+=(ncdu)
command -v gdu >/dev/null && tools+=(gdu)
run_tool() {  # tool tree
  case $1 in
    du) measure du -s "$2" ;;
    korvane) measure build/app/korvane-scan "$2" ;;
    korvane-one-thread) measure env KORVANE_SCAN_THREADS=0 build/app/korvane-scan "$2" ;;
    ncdu) measure ncdu -x -o /dev/null "$2" ;;
    gdu) measure gdu -n -x "$2" ;;
  esac
}

bench_tree() {  # tree
  local tree=$1 t i
  declare -A walls cpus
  for t in "${tools[@]}"; do run_tool "$t" "$tree" >/dev/null; done  # warm the cache
  for ((i = 1; i <= runs; i++)); do
    for t in "${tools[@]}"; do
      read -r w c < <(run_tool "$t" "$tree")
      walls[$t]+="$w "
      cpus[$t]+="$c "
    done
  done
  local du_wall du_cpu
  du_wall=$(tr ' ' '\n' <<<"${walls[du]}" | grep . | median)
  du_cpu=$(tr ' ' '\n' <<<"${cpus[du]}" | grep . | median)
  for t in "${tools[@]}"; do
    local w c
    w=$(tr ' ' '\n' <<<"${walls[$t]}" | grep . | median)
    c=$(tr ' ' '\n' <<<"${cpus[$t]}" | grep . | median)
    printf '%-20s wall %7.3f s (%.2fx du)   cpu %7.3f s (%.2fx du)\n' "$t" "$w" "$(calc "$w / $du_wall")" "$c" "$(calc "$c / $du_cpu")"
  done
}

# How much of the two cores this process group gets right now: two du -s on the two halves of
# the tree at once, against one du -s of the whole. About 0.5 when both cores are free, 1.0 when
# other work leaves the equivalent of one core; no scan with threads does better than that
# against du, whatever its design.
capacity() {  # tree
  local i one two ones=() twos=()
  local -a halves=("$1"/*)
  local n=${#halves[@]}
  for ((i = 1; i <= runs; i++)); do
    read -r one _ < <(measure du -s "$1"); ones+=("$one")
    read -r two _ < <(measure bash -c 'du -s "${@:2:$1}" >/dev/null & du -s "${@:$(($1 + 2))}" >/dev/null; wait' _ "$((n / 2))" "${halves[@]}")
    twos+=("$two")
  done
  one=$(printf '%s\n' "${ones[@]}" | median)
  two=$(printf '%s\n' "${twos[@]}" | median)
  printf 'cores free: two du -s on the two halves at once take %.2fx one du -s of the whole (0.5 = both cores free, 1.0 = one)\n' \
    "$(calc "$two / $one")"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== $dir/tree: medians of $runs alternating runs, warm cache (target korvane <= 0.5x du wall)"
bench_tree "$dir/tree"
capacity "$dir/tree"

per_folder() {  # tree
  build/app/korvane-scan "$1" | awk -F': ' '
    $1 == "folders" { f = $2 } $1 == "files" { n = $2 } $1 == "seconds" { s = $2 }
    $1 == "start-rss-bytes" { r = $2 } $1 == "peak-rss-bytes" { p = $2 }
    END { printf "%d %d %d %s\n", f, n, p - r, s }'
}
# Growth of the peak resident size over the scan. What one more folder or file costs is the
# slope between trees that differ only in that; the fixed part (libraries loaded on first use,
# read buffers, the read-ahead's bounded queue) is in the totals only.
read -r f1 n1 grown1 s1 < <(per_folder "$dir/tree")
read -r f2 n2 grown2 s2 < <(per_folder "$dir/folders-only")
read -r f3 n3 grown3 s3 < <(per_folder "$dir/half-folders-only")
printf 'memory: %d folders + %d files: %d bytes in all, %.1f bytes per folder\n' \
  "$f1" "$n1" "$grown1" "$(calc "$grown1 / ($f1 + 1)")"
printf 'memory: %d folders, no files: %d bytes; %d folders: %d bytes\n' "$f2" "$grown2" "$f3" "$grown3"
printf 'memory per folder (slope): %.1f bytes (target: at most 300)\n' "$(calc "($grown2 - $grown3) / ($f2 - $f3)")"
printf 'memory per file: %.2f bytes (target: 0)\n' "$(calc "($grown1 - $grown2) / $n1")"

if [ "$big" != 0 ]; then
  echo "== linear growth: $dir/big against $dir/tree (korvane-scan, medians of $runs runs)"
  times_small=() times_big=()
  for ((i = 1; i <= runs; i++)); do
    read -r _ _ _ s < <(per_folder "$dir/tree"); times_small+=("$s")
    read -r fb nb grownb s < <(per_folder "$dir/big"); times_big+=("$s")
  done
  ts=$(printf '%s\n' "${times_small[@]}" | median)
  tb=$(printf '%s\n' "${times_big[@]}" | median)
  printf '%d folders + %d files: %.3f s, %.1f us per entry, %d bytes grown, %.1f bytes per folder\n' \
    "$f1" "$n1" "$ts" "$(calc "$ts * 1e6 / ($f1 + $n1)")" "$grown1" "$(calc "$grown1 / ($f1 + 1)")"
  printf '%d folders + %d files: %.3f s, %.1f us per entry, %d bytes grown, %.1f bytes per folder\n' \
    "$fb" "$nb" "$tb" "$(calc "$tb * 1e6 / ($fb + $nb)")" "$grownb" "$(calc "$grownb / ($fb + 1)")"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
