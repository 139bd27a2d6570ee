#!/bin/bash
# Test lines against code lines (.h and .cpp), per folder and in total. Fails when the tests
# pass 0.40 of the code: tests are kept to about a third of what they test.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null | xargs -0 -r cat | wc -l; }
code=0
echo "code lines:"
for d in kit kit/plugin kit/raster kit/wapi Project_Source platform tools; do
  if [ "$d" = kit ]; then n=$(find kit -maxdepth 1 \( -name '*.h' -o -name '*.cpp' \) -print0 | xargs -0 -r cat | wc -l)
  else n=$(count "$d"); fi
  printf '  %-22s %7d\n' "$d" "$n"
done
code=$(count kit Project_Source platform tools)
echo "test lines:"
for d in tests/*/; do printf '  %-22s %7d\n' "${d%/}" "$(count "$d")"; done
tests=$(count tests)
ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.3f", t / c }')
printf 'total: %d test lines / %d code lines = %s (limit 0.40)\n' "$tests" "$code" "$ratio"
awk -v r="$ratio" 'BEGIN { exit !(r <= 0.40) }' || { echo "test-size: tests are above 0.40 of the code"; exit 1; }
