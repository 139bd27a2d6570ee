#!/bin/bash
# Installs what the project needs, then builds and runs the tests in three builds: release,
# AddressSanitizer with UndefinedBehaviorSanitizer, and ThreadSanitizer
# (every test but those that need the JACK server). Prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=$(nproc)
T0=$(date +%s)
stage() { echo; echo "=== $1 ($(( $(date +%s) - T0 ))s since start)"; }
timed() { local s=$(date +%s); "$@"; echo "--- took $(( $(date +%s) - s ))s: $*"; }

stage "install"
timed ./scripts/install-deps.sh

stage "test size"
./scripts/test-size.sh

# ccache keys on paths relative to the checkout and ignores the working folder, so a clean
# clone in another folder of the same machine reuses what was built before.
export CCACHE_BASEDIR=$ROOT CCACHE_NOHASHDIR=1
LAUNCH=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

build() { # dir, target, cmake args...
  local dir=$1 target=$2; shift 2
  timed cmake -S "$ROOT" -B "$dir" -G Ninja "${LAUNCH[@]}" "$@" >/dev/null
  timed cmake --build "$dir" -j "$JOBS" --target "$target" -- --quiet
}
runtests() { # dir, with-jack (yes/no), ctest args...
  local dir=$1 jack=$2; shift 2
  (cd "$dir" && timed ctest -j "$JOBS" --output-on-failure -LE jack "$@")
  # The JACK tests share one private server that runs without real-time scheduling: they run
  # after the rest, one at a time, so a busy machine cannot starve the server.
  if [ "$jack" = yes ]; then
    (cd "$dir" && timed ctest -j 1 --output-on-failure -L jack "$@")
  fi
}

stage "release build and tests"
build build/release all -DCMAKE_BUILD_TYPE=Release
runtests build/release yes

stage "AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build build/asan all -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_SANITIZE=ON -DQOR_BENCH=OFF
runtests build/asan yes

stage "ThreadSanitizer build and tests"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$ROOT/scripts/tsan.supp"
# Only the tests that start threads, and what they link, are built here. JACK clients do not
# run under ThreadSanitizer (the uninstrumented client library misses its process deadlines),
# so the JACK tests run in the two stages above only.
build build/tsan qor_thread_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_TSAN=ON -DQOR_BENCH=OFF
runtests build/tsan no -L threads

stage "all stages passed"
