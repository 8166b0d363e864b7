#!/usr/bin/env bash
# Long fuzzing in the background: runs the already built targets of build/fuzz one after the other,
# SECONDS each (cycling again while time is left), until the DEADLINE (a `date -d` time), at the
# lowest priority. Corpora are kept in CORPUS/TARGET (outside the source tree, so they grow from
# one run to the next), failing inputs in CORPUS/artifacts/TARGET, full logs in CORPUS/logs; one
# summary line per run (runs, exec/s, cov, ft, corpus, peak RSS, outcome) goes to LOG.
#
#   fuzz/run_long.sh [SECONDS [DEADLINE [CORPUS [LOG]]]]
#
# Defaults: 600 s, in 2 hours, $HOME/fuzzcorpus, CORPUS/fuzz-long.log. KORVANE_FUZZ_TARGETS (names
# separated by blanks) sets the order; all targets of fuzz/ by default.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
deadline=$(date -d "${2:-now + 2 hours}" +%s) || exit 2
corpus=${3:-$HOME/fuzzcorpus}
log=${4:-$corpus/fuzz-long.log}
build=build/fuzz

targets=(${KORVANE_FUZZ_TARGETS:-})
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

mkdir -p "$corpus/logs" "$(dirname "$log")"
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "$(date -u +%FT%TZ) start: ${#targets[@]} targets, ${seconds} s each, until $(date -u -d "@$deadline" +%TZ)" >>"$log"
cycle=0
while :; do
  cycle=$((cycle + 1))
  for target in "${targets[@]}"; do
    left=$((deadline - $(date +%s)))
    if [ "$left" -lt 30 ]; then
      echo "$(date -u +%FT%TZ) deadline reached" >>"$log"
      exit 0
    fi
    run=$((left < seconds ? left : seconds))
    mkdir -p "$corpus/$target" "$corpus/artifacts/$target"
    options=(-max_total_time="$run" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048
             -max_len=16384 -print_final_stats=1 -artifact_prefix="$corpus/artifacts/$target/")
    [ -f "fuzz/dict/$target.dict" ] && options+=(-dict="fuzz/dict/$target.dict")
    seeds=("fuzz/corpus/$target")
    [ -d "$build/corpus/$target" ] && seeds+=("$build/corpus/$target")
    runlog=$corpus/logs/$target.$cycle.log
    started=$(date +%s)
    nice -n 19 "$build/fuzz/$target" "${options[@]}" "$corpus/$target" "${seeds[@]}" >"$runlog" 2>&1
    status=$?
    wall=$(($(date +%s) - started))
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$runlog" | grep -o '[0-9]*$')
    speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$runlog" | grep -o '[0-9]*$')
    rss=$(grep -o 'stat::peak_rss_mb: *[0-9]*' "$runlog" | grep -o '[0-9]*$')
    last=$(grep -E '^#[0-9]+' "$runlog" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' <<<"$last" | grep -o '[0-9]*')
    ft=$(grep -o 'ft: [0-9]*' <<<"$last" | grep -o '[0-9]*')
    size=$(grep -o 'corp: [0-9]*' <<<"$last" | grep -o '[0-9]*')
    if [ "$status" -eq 0 ]; then outcome=ok; else
      outcome="FAILED (exit $status): $(grep -E 'ERROR|SUMMARY|fuzz check failed|Test unit written' "$runlog" | head -3 | tr '\n' ' ')"
    fi
    echo "$(date -u +%FT%TZ) $target cycle=$cycle wall=${wall}s runs=${runs:-?} exec/s=${speed:-?} cov=${cov:-?} ft=${ft:-?} corpus=${size:-?} rss=${rss:-?}MB $outcome" >>"$log"
  done
done
