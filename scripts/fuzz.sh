#!/bin/bash
# Builds the fuzz targets with clang's libFuzzer, ASan and UBSan, and runs each for the given
# number of seconds (default 60) on its corpus, then prints each target's inputs per second (of
# wall time and of CPU time) and the coverage it reached.
#   scripts/fuzz.sh [seconds] [target stem...]     e.g. scripts/fuzz.sh 30 bank_reader_fuzz
# QOR_FUZZ_BUILD names the build folder (default build/fuzz). The targets' own text on stderr
# (the readers' refusals), and the stand-in host's on stdout, is dropped, since it can run to
# gigabytes; libFuzzer and the sanitizers keep reporting. QOR_FUZZ_SHOW_OUTPUT=1 keeps the
# targets' text as well.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
shift || true
dir=${QOR_FUZZ_BUILD:-build/fuzz}
./scripts/install-deps.sh >/dev/null
stems=("$@")
# Leaks of the libraries the README's sanitizer runs suppress are not the targets' own.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp}
if [ ${#stems[@]} -eq 0 ]; then
  stems=($(cd tests/fuzz && ls *_fuzz.cpp | sed 's/\.cpp$//'))
fi

# The file descriptors libFuzzer closes (1 stdout, 2 stderr): the stand-in host's bundle writes
# its report to stdout as well, and a recalled project's send prints every message it sends.
close_fds_of() {
  case "$1" in
    qor_host_lines_fuzz | state_chunk_fuzz) echo 3 ;;
    *) echo 2 ;;
  esac
}

# Largest input per target; libFuzzer's own default (4096) for the rest.
max_len_of() {
  case "$1" in
    library_scan_fuzz) echo 131072 ;; # bank files of the scan start at 25,001 bytes
    *) echo 4096 ;;
  esac
}

CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQOR_SANITIZE=ON -DQOR_FUZZ=ON -DQOR_BENCH=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target $(printf 'fuzz_%s ' "${stems[@]}")
summary=()
for stem in "${stems[@]}"; do
  quiet=(-close_fd_mask="$(close_fds_of "$stem")")
  if [ "${QOR_FUZZ_SHOW_OUTPUT:-0}" = 1 ]; then quiet=(); fi
  mkdir -p "$dir/corpus/$stem"
  echo "== $stem for ${secs}s"
  log="$dir/$stem.log"
  # A target's dictionary of tokens, when it has one, sits beside it as <stem>.dict.
  dict=()
  [ -f "tests/fuzz/$stem.dict" ] && dict=(-dict="tests/fuzz/$stem.dict")
  # The CPU seconds the run took (user and system), for a rate that does not depend on what else
  # the machine runs.
  TIMEFORMAT='%U %S'
  # One input that takes 25 s is a hang (the slowest seen take well under a second); libFuzzer's
  # own limit, 20 minutes, would let a hang eat the whole run unreported.
  { time "$dir/tests/fuzz_$stem" -max_total_time="$secs" -max_len="$(max_len_of "$stem")" -timeout=25 "${quiet[@]}" \
    -artifact_prefix="$dir/$stem-" -print_final_stats=1 "${dict[@]}" "$dir/corpus/$stem" "tests/fuzz/corpus/$stem" \
    2>&1 | tee "$log" |
    grep -E "^(Done|==[0-9]+==ERROR|SUMMARY)" || true; } 2> "$dir/$stem.cpu"
  cpu=$(awk '{ printf "%d", $1 + $2 }' "$dir/$stem.cpu")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  # A run that stops at a fault prints no "Done" line; libFuzzer's own average stands then.
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  # Coverage and features from libFuzzer's last status line.
  cov=$(sed -n 's/^#[0-9].* cov: \([0-9]*\) ft: \([0-9]*\) .*/\1 \2/p' "$log" | tail -1)
  summary+=("$(printf '%-26s %10s runs %8s inputs/s %8s per CPU-s  cov %6s  ft %6s' "$stem" "${runs:-?}" \
    "$(( ${took:-0} > 0 ? ${runs:-0} / ${took:-1} : ${rate:-0} ))" "$(( ${cpu:-0} > 0 ? ${runs:-0} / cpu : 0 ))" \
    "${cov% *}" "${cov#* }")")
  if grep -q "ERROR: \|SUMMARY: " "$log"; then
    echo "fuzz: $stem found a fault (see $log)"
    printf '%s\n' "${summary[@]}"
    exit 1
  fi
done
printf '%s\n' "${summary[@]}"
