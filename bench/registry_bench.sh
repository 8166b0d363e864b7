#!/usr/bin/env bash
# Writes, reads and merges hives of growing size through the registry store
# (korvane-registry-bench) and prints the median of alternating repeated runs for each size, so
# that the growth of the times with the number of values shows: linear growth keeps the time per
# value flat. The merge changes a tenth of the values while another copy writes the hive.
#
# usage: bench/registry_bench.sh [RUNS] [COUNT...]   (default: 5 runs of 10000 100000 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(10000 100000 1000000)

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target korvane-registry-bench >/dev/null
dir=$(mktemp -d /tmp/korvane-registry-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT

declare -A write read merge cpu mem rwmem
for ((r = 0; r < runs; r++)); do
  for n in "${counts[@]}"; do
    out=$(build/bench/korvane-registry-bench "$n" "$dir")
    write[$n]+="$(awk '/^write-seconds:/ { print $2 }' <<<"$out") "
    read[$n]+="$(awk '/^read-seconds:/ { print $2 }' <<<"$out") "
    merge[$n]+="$(awk '/^merge-seconds:/ { print $2 }' <<<"$out") "
    cpu[$n]+="$(awk '/^cpu-seconds:/ { print $2 }' <<<"$out") "
    mem[$n]+="$(awk '/^peak-rss-mb:/ { print $2 }' <<<"$out") "
    rwmem[$n]+="$(awk '/^write-read-peak-rss-mb:/ { print $2 }' <<<"$out") "
  done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
# peak-MB: the whole run; rw-peak-MB: before the merge (writing and reading only).
printf '%10s %10s %10s %10s %10s %14s %10s %10s\n' values write-s read-s merge-s cpu-s cpu-us/value rw-peak-MB peak-MB
for n in "${counts[@]}"; do
  w=$(median <<<"${write[$n]}")
  rd=$(median <<<"${read[$n]}")
  mg=$(median <<<"${merge[$n]}")
  c=$(median <<<"${cpu[$n]}")
  m=$(median <<<"${mem[$n]}")
  rm=$(median <<<"${rwmem[$n]}")
  per=$(awk -v c="$c" -v n="$n" 'BEGIN { printf "%.2f", c * 1e6 / n }')
  printf '%10s %10s %10s %10s %10s %14s %10s %10s\n' "$n" "$w" "$rd" "$mg" "$c" "$per" "$rm" "$m"
done
