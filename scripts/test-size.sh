#!/bin/bash
# Test lines against code lines (.h and .cpp): each source folder beside its test folder, with
# the share, then the test folders that cover the whole, then the totals. Prints only: tests
# written from now on are roughly a quarter to a third of the code they cover, and existing
# tests are kept.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { find "$@" \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null | xargs -0 -r cat | wc -l; }
row() { # label, code lines (or -), test lines
  local share=-
  [ "$2" != - ] && [ "$2" -gt 0 ] && share=$(awk -v t="$3" -v c="$2" 'BEGIN { printf "%.2f", t / c }')
  printf '  %-34s %7s %7s %6s\n' "$1" "$2" "$3" "$share"
}
printf '  %-34s %7s %7s %6s\n' "code folder : test folder" code tests share
row "kit : tests/kit" "$(find kit -maxdepth 1 \( -name '*.h' -o -name '*.cpp' \) -print0 | xargs -0 -r cat | wc -l)" \
  "$(count tests/kit)"
for pair in kit/plugin:tests/plugin kit/raster:tests/raster kit/wapi:tests/wapi Project_Source:tests/editor \
  platform:tests/platform tools/synth-sim:tests/synth-sim tools/tea-encipher:tests/tea-encipher; do
  row "${pair%%:*} : ${pair#*:}" "$(count "${pair%%:*}")" "$(count "${pair#*:}")"
done
row "tools (others)" "$(( $(count tools) - $(count tools/synth-sim) - $(count tools/tea-encipher) ))" 0
for d in tests/integration tests/fuzz tests/support; do row "$d" - "$(count "$d")"; done
row total "$(count kit Project_Source platform tools)" "$(count tests)"
