#!/usr/bin/env bash
# Emptying a trash of 100,000 items (90,000 small files, 10,000 folders of three files, each with
# its .trashinfo) with korvane-free empty-trash against rm -rf of the same files/ and info/,
# alternating runs on fresh copies, medians of wall and CPU time (target: at most 1.2x rm -rf).
#
# usage: bench/trash_bench.sh [RUNS] [ITEMS]   (KORVANE_BENCH_DIR sets where the trash is built)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
items=${2:-100000}
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-bench}/trash

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane-free >/dev/null

# A trash of $items items under $1/Trash.
build_trash() {
  rm -rf "$1"
  mkdir -p "$1/Trash/files" "$1/Trash/info" "$1/drive"
  python3 - "$1/Trash" "$items" <<'PY'
import os, sys
trash, items = sys.argv[1], int(sys.argv[2])
for i in range(items):
    name = "item%06d" % i
    if i % 10 == 0:
        os.mkdir(f"{trash}/files/{name}")
        for j in range(3):
            with open(f"{trash}/files/{name}/f{j}", "wb") as f: f.write(b"x" * 300)
    else:
        with open(f"{trash}/files/{name}", "wb") as f: f.write(b"y" * 200)
    with open(f"{trash}/info/{name}.trashinfo", "w") as f:
        f.write(f"[Trash Info]\nPath=/bench/{name}\nDeletionDate=2026-12-11T02:00:00\n")
PY
  sync
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
calc() { awk "BEGIN { print $1 }"; }
measure() {
  local TIMEFORMAT='%R %U %S' out
  out=$({ time "$@" >/dev/null 2>&1; } 2>&1 | tail -1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$out"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
rw=() rc=() kw=() kc=()
for ((i = 1; i <= runs; i++)); do
  build_trash "$dir"
  read -r w c < <(measure rm -rf "$dir/Trash/files" "$dir/Trash/info"); rw+=("$w"); rc+=("$c")
  build_trash "$dir"
  read -r w c < <(measure env KORVANE_DRIVES="D=$dir/drive" XDG_DATA_HOME="$dir" build/app/korvane-free empty-trash --yes D:)
  kw+=("$w"); kc+=("$c")
  left=$(find "$dir/Trash/files" "$dir/Trash/info" -mindepth 1 | wc -l)
  [ "$left" = 0 ] || echo "run $i: $left entries left in the trash"
done
rmw=$(printf '%s\n' "${rw[@]}" | median); rmc=$(printf '%s\n' "${rc[@]}" | median)
kow=$(printf '%s\n' "${kw[@]}" | median); koc=$(printf '%s\n' "${kc[@]}" | median)
echo "== a trash of $items items, medians of $runs alternating runs (target <= 1.2x rm -rf wall)"
printf '%-26s wall %7.3f s   cpu %7.3f s\n' "rm -rf files info" "$rmw" "$rmc"
printf '%-26s wall %7.3f s (%.2fx rm)   cpu %7.3f s (%.2fx rm)\n' "korvane-free empty-trash" "$kow" "$(calc "$kow / $rmw")" "$koc" "$(calc "$koc / $rmc")"
rm -rf "$dir"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
