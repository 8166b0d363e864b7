#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build/fuzz and runs each one for a short time, two at a time; fails when any of them finds a
# crash, a leak, an input slower than the timeout or one that takes too much memory.
#
#   fuzz/run_fuzzers.sh [SECONDS [TARGET...]]
#
# SECONDS per target (30 by default); TARGET names (fuzz_ini_file ...) run only those. Each target
# starts from its seeds in fuzz/corpus/TARGET and keeps what it finds in build/fuzz/corpus/TARGET;
# logs go to build/fuzz/logs, inputs that failed to build/fuzz/artifacts. KORVANE_FUZZ_JOBS sets
# how many run at once.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
build=build/fuzz
jobs=${KORVANE_FUZZ_JOBS:-2}

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
  -DKORVANE_FUZZ=ON -DKORVANE_CORE_ONLY=ON -DKORVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target korvane_fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

mkdir -p "$build/logs" "$build/artifacts"
# Scratch files of the targets go to memory when it can hold them.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
  local target=$1 seconds=$2 build=$3
  local corpus=$build/corpus/$target dict=fuzz/dict/$target.dict
  mkdir -p "$corpus" "$build/artifacts/$target"
  local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048
                 -max_len=16384 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target/")
  [ -f "$dict" ] && options+=(-dict="$dict")
  if "$build/fuzz/$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$build/logs/$target.log" 2>&1; then
    echo "$target: ok ($(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/logs/$target.log" | grep -o '[0-9]*$') runs," \
         "$(grep -o 'cov: [0-9]*' "$build/logs/$target.log" | tail -1))"
  else
    echo "$target: FAILED, see $build/logs/$target.log and $build/artifacts/$target/"
    grep -E 'ERROR|SUMMARY|fuzz check failed|Test unit written' "$build/logs/$target.log" | head -8
    return 1
  fi
}
export -f run_one

printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$build"
