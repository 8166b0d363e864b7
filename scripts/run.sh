#!/usr/bin/env bash
# Installs what is missing, builds Korvane and runs it on a folder (the argument, or the home
# folder).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build
exec build/app/korvane-scan "${1:-$HOME}"
