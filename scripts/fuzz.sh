#!/bin/bash
# Builds the fuzz targets with clang's libFuzzer, ASan and UBSan, and runs each for the given
# number of seconds (default 60) on its corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
./scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQOR_SANITIZE=ON -DQOR_FUZZ=ON -DQOR_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target $(cd tests/fuzz && ls *_fuzz.cpp | sed 's/^/fuzz_/; s/\.cpp$//')
for f in tests/fuzz/*_fuzz.cpp; do
  stem=$(basename "$f" .cpp)
  mkdir -p build/fuzz/corpus/$stem
  echo "== $stem for ${secs}s"
  build/fuzz/tests/fuzz_$stem -max_total_time="$secs" build/fuzz/corpus/$stem tests/fuzz/corpus/$stem
done
