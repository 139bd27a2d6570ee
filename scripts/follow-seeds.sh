#!/bin/sh
# Runs the randomized device-follow test over random seeds on a private JACK server and prints
# each failing seed with its sequence and what went wrong.
#   scripts/follow-seeds.sh [count [steps [api]]]    api: jack, rtjack (default both)
# Needs build/release with the target system_device_follow_random_jack_test. A seed printed here
# runs again alone with QOR_FOLLOW_SEED=<seed> QOR_FOLLOW_API=<api>.
set -u
count=${1:-20}; steps=${2:-3}; api=${3:-}
root=$(cd "$(dirname "$0")/.." && pwd)
test=$root/build/release/tests/system_device_follow_random_jack_test
[ -x "$test" ] || { echo "build the target system_device_follow_random_jack_test first"; exit 2; }
server=qorseeds$$; pidfile=/tmp/qorseeds$$.pid; log=/tmp/qorseeds$$-test.txt # the server keeps its own .log
"$root/scripts/jack-fixture.sh" start "$server" "$pidfile" >/dev/null || exit 2
trap '"$root/scripts/jack-fixture.sh" stop "$server" "$pidfile"; rm -f "$log"' EXIT INT TERM
failed=0; i=0
while [ $i -lt "$count" ]; do
  seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
  JACK_DEFAULT_SERVER=$server QOR_JACK_SERVER=$server QOR_FOLLOW_SEED=$seed QOR_FOLLOW_STEPS=$steps \
    QOR_FOLLOW_API=$api "$root/scripts/jack-fixture.sh" run "$server" "$pidfile" "$test" >"$log" 2>&1
  grep -E '^(passed|FAILED) seed' "$log"
  if grep -q '^FAILING' "$log"; then
    failed=$((failed + 1))
    # What went wrong and the port layer's last words, under the sequence.
    sed -n '/^FAILING/,/^\(passed\|FAILED\) seed/p' "$log" | grep -v '^\(FAILING\|passed\|FAILED\)'
  fi
  i=$((i + 1))
done
echo "$failed of $count seeds failed"
[ $failed -eq 0 ]
