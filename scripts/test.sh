#!/usr/bin/env bash
# Installs what is missing, builds Korvane and runs every test; then builds the core and its
# tests again with AddressSanitizer and UndefinedBehaviorSanitizer and runs those.
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
