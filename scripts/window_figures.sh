#!/usr/bin/env bash
# Prints the figures the window's shape is measured by: TMainForm's public data members and
# public functions, the mutable extern settings of config/Settings.h, the processEvents calls in
# production code (outside tests/ and bench/), and the include loops between headers.
#
# usage: scripts/window_figures.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# The declarations of ui/main/MainForm.h between "public:" and the next access label, inside
# class TMainForm; one declaration per line is the file's style.
awk '
  /^class TMainForm / { inClass = 1; access = "private"; next }
  inClass && /^};/ { inClass = 0 }
  !inClass { next }
  /^public:/ { access = "public"; next }
  /^(protected|private):/ { access = "other"; next }
  access != "public" { next }
  /^  [A-Za-z]/ && !/^  \/\// {
    line = $0
    if (line ~ /static constexpr/) next
    if (line ~ /\(/) functions++
    else if (line ~ /;/) data++
  }
  END {
    printf "TMainForm public data members: %d\n", data
    printf "TMainForm public functions (constructor and destructor included): %d\n", functions
  }
' ui/main/MainForm.h

printf 'mutable extern settings in config/Settings.h: %d\n' \
  "$(grep -cE '^extern [A-Za-z_:<>]+\*? +[A-Za-z_]+;' config/Settings.h || true)"

printf 'processEvents calls in production code: %d\n' \
  "$(grep -rn --include='*.cpp' --include='*.h' 'processEvents' app charts cleanup config platform reports scan shell ui | grep -vc '^\s*//' || true)"
grep -rn --include='*.cpp' --include='*.h' 'processEvents' app charts cleanup config platform reports scan shell ui |
  sed 's/^/  /' || true

# Include loops: pairs of project headers that include each other.
python3 - <<'PY'
import os, re
headers = {}
for root, _, files in os.walk('.'):
    if root.startswith(('./build', './tests', './.git')):
        continue
    for f in files:
        if f.endswith('.h'):
            p = os.path.join(root, f)[2:]
            with open(p, encoding='utf-8', errors='replace') as fh:
                headers[p] = set(re.findall(r'^#include "([^"]+)"', fh.read(), re.M))
loops = sorted({tuple(sorted((a, b))) for a, inc in headers.items() for b in inc if a in headers.get(b, set())})
print(f'header pairs that include each other: {len(loops)}')
for a, b in loops:
    print(f'  {a} <-> {b}')
PY
