#!/usr/bin/env bash
# Installs what is missing, builds Korvane and runs it on a folder (the argument, or the home
# folder): the program with its windows when there is a display; without one, the unattended
# folder-information report of the folder, written to a file and shown.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build
folder="${1:-$HOME}"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec build/app/korvane "$folder"
fi
report="${TMPDIR:-/tmp}/korvane-report-$$.txt"
build/app/korvane /RINF "$folder" "$report" /Q
cat "$report"
echo "(report written to $report)"
