#!/bin/bash
# Runs the randomized request sequences from random seeds:
#   scripts/request-sequences.sh [count] [first seed] [build folder]
# count defaults to 1000, the first seed to a random one, the build folder to build/release
# (built here when the test is missing). Prints each failing seed with its sequence and what
# went wrong; exit status 1 when any failed. QOR_SEQUENCE_SEED=N alone reruns one of them.
set -euo pipefail
cd "$(dirname "$0")/.."
COUNT=${1:-1000}
FIRST=${2:-$(( $(od -An -N4 -tu4 /dev/urandom) % 2000000000 + 1000 ))}
DIR=${3:-build/release}
TEST=$DIR/tests/editor_request_sequences_insynth_thread_test
if [ ! -x "$TEST" ]; then
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
  cmake -S . -B "$DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
  cmake --build "$DIR" -j4 --target editor_request_sequences_insynth_thread_test >/dev/null
fi
echo "seeds $FIRST to $(( FIRST + COUNT - 1 ))"
# In chunks, so that a crash names the seeds it happened among.
failed=0
for (( start = FIRST; start < FIRST + COUNT; start += 100 )); do
  n=$(( FIRST + COUNT - start < 100 ? FIRST + COUNT - start : 100 ))
  status=0
  out=$(QOR_SEQUENCE_SEED=$start QOR_SEQUENCE_COUNT=$n "$TEST" 2>/dev/null) || status=$?
  # Steps at a limit nothing on the line can overcome: listed, not failed.
  grep "LIMIT" <<<"$out" || true
  if [ $status != 0 ]; then
    failed=1
    if grep -q "sequences failed" <<<"$out"; then
      sed -n '/sequences failed/,/^\[  FAILED/p' <<<"$out" | sed '$d'
    else
      echo "seeds $start to $(( start + n - 1 )): the test ended abnormally; rerun them one by one:"
      echo "  QOR_SEQUENCE_SEED=$start QOR_SEQUENCE_COUNT=$n $TEST"
    fi
  fi
done
[ $failed = 0 ] && echo "all passed"
exit $failed
