#!/usr/bin/env bash
# Installs what is missing, builds Korvane and runs every test; then builds the core and its
# tests again with AddressSanitizer and UndefinedBehaviorSanitizer and runs those, and last the
# window tests under the same sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DKORVANE_CORE_ONLY=ON -DKORVANE_SANITIZE=ON
cmake --build build/sanitize -j "$jobs"
(cd build/sanitize &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j "$jobs")

# The window code holds pointers into the folder tree and the pie's records; run its tests under
# the sanitizers too.
cmake -S . -B build/sanitize-ui -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON
cmake --build build/sanitize-ui -j "$jobs" --target korvane_widget_tests
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  QT_QPA_PLATFORM=offscreen LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 LANGUAGE=en_US \
  build/sanitize-ui/tests/korvane_widget_tests

# Every reader of outside input under the fuzzer for a short while (30 s each, two at a time);
# fails on any crash, leak, hang or excessive memory.
bash fuzz/run_fuzzers.sh 30
