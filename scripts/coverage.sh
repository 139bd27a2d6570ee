#!/bin/bash
# Line coverage of the source folders by the tests that need no JACK server: a gcov build in
# build/coverage (or the folder given), the tests, then one line per source folder.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
DIR=${1:-build/coverage}
export CCACHE_BASEDIR=$ROOT
cmake -S "$ROOT" -B "$DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQOR_BENCH=OFF \
  -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
  -DCMAKE_CXX_FLAGS="--coverage -O1" -DCMAKE_C_FLAGS="--coverage -O1" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$DIR" -j "$(nproc)" -- --quiet
find "$DIR" -name '*.gcda' -delete
(cd "$DIR" && ctest -j "$(nproc)" -LE jack --output-on-failure >/dev/null) || echo "coverage: some tests failed"
gcovr -r "$ROOT" --object-directory "$DIR" --gcov-ignore-parse-errors -j "$(nproc)" \
  --filter "$ROOT/kit/" --filter "$ROOT/Project_Source/" --filter "$ROOT/platform/" --filter "$ROOT/tools/" \
  --json-summary "$DIR/coverage.json" >/dev/null 2>&1 || true
python3 - "$DIR/coverage.json" <<'PY'
import json, sys, collections
files = json.load(open(sys.argv[1]))["files"]
folders = collections.OrderedDict()
for f in sorted(files, key=lambda f: f["filename"]):
    parts = f["filename"].split("/")
    key = "/".join(parts[:2]) if parts[0] in ("kit", "platform", "tools") and len(parts) > 2 else parts[0] if parts[0] != "Project_Source" else "Project_Source/src"
    c = folders.setdefault(key, [0, 0])
    c[0] += f["line_covered"]; c[1] += f["line_total"]
print(f"{'folder':28} {'lines':>7} {'covered':>8} {'%':>6}")
tc = tt = 0
for k, (c, t) in folders.items():
    tc += c; tt += t
    print(f"{k:28} {t:7} {c:8} {100.0*c/max(t,1):6.1f}")
print(f"{'total':28} {tt:7} {tc:8} {100.0*tc/max(tt,1):6.1f}")
PY
