#!/usr/bin/env bash
# Times korvane-free archive and restore against zip -r -6 and unzip on the same tree (a copy
# of /usr/include: many small text files, as a source folder is), warm cache, alternating runs,
# and prints the medians and their ratios. korvane-free does more than zip: it reads the whole
# archive back (every CRC) and flushes it to disk before naming it; the figures include that.
#
# usage: bench/archive_bench.sh [RUNS]   (KORVANE_BENCH_DIR sets where the tree is built)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
dir=${KORVANE_BENCH_DIR:-/tmp/korvane-archive-bench}
source_tree=${KORVANE_BENCH_SOURCE:-/usr/include}

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane-free >/dev/null
free_program=$PWD/build/app/korvane-free

rm -rf "$dir"
mkdir -p "$dir/drive/work" "$dir/zip"
cp -a "$source_tree" "$dir/drive/work/data"
export KORVANE_DRIVES="T=$dir/drive"
du -sh "$dir/drive/work/data"
find "$dir/drive/work/data" -type f | wc -l | sed 's/^/files: /'

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

ours_archive=() ; theirs_archive=() ; ours_restore=() ; theirs_restore=()
for i in $(seq "$runs"); do
  # zip -r -6, then unzip
  rm -f "$dir/zip/data.zip"; rm -rf "$dir/zip/out"
  start=$(now); (cd "$dir/drive/work" && zip -q -r -6 -y "$dir/zip/data.zip" data); theirs_archive+=("$(since "$start")")
  start=$(now); unzip -q "$dir/zip/data.zip" -d "$dir/zip/out"; theirs_restore+=("$(since "$start")")
  # korvane-free archive at level 6, then restore elsewhere
  rm -rf "$dir/restored"
  start=$(now)
  key=$("$free_program" archive --level 6 "$dir/drive/work/data" | sed -n 's/^archive: //p')
  ours_archive+=("$(since "$start")")
  start=$(now); "$free_program" restore --to "$dir/restored" T: "$key" >/dev/null; ours_restore+=("$(since "$start")")
  if [ "$i" = 1 ]; then
    ls -l "$dir/zip/data.zip" "$dir/drive/Archives Bin/$key" | awk '{ print "size: " $5 " " $NF }'
    diff -r --no-dereference "$dir/drive/work/data" "$dir/restored/data" >/dev/null && echo "restored tree: identical"
  fi
  "$free_program" delete-archive --yes T: "$key" >/dev/null
done

oa=$(echo "${ours_archive[*]}" | median); ta=$(echo "${theirs_archive[*]}" | median)
orr=$(echo "${ours_restore[*]}" | median); tr_=$(echo "${theirs_restore[*]}" | median)
echo "archive runs: ours ${ours_archive[*]} / zip ${theirs_archive[*]}"
echo "restore runs: ours ${ours_restore[*]} / unzip ${theirs_restore[*]}"
awk -v a="$oa" -v b="$ta" 'BEGIN { printf "archive: korvane-free %.3f s, zip -r -6 %.3f s, ratio %.2f\n", a, b, a / b }'
awk -v a="$orr" -v b="$tr_" 'BEGIN { printf "restore: korvane-free %.3f s, unzip %.3f s, ratio %.2f\n", a, b, a / b }'
rm -rf "$dir"
