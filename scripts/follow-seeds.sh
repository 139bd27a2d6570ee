#!/bin/sh
# Runs the randomized device-follow test over random seeds on a private JACK server and prints
# each failing seed with its sequence and what went wrong.
#   scripts/follow-seeds.sh [count [steps [api]]]    api: jack, rtjack (default both)
# Needs build/release with the target system_device_follow_random_jack_test. A seed printed here
# runs again alone with QOR_FOLLOW_SEED=<seed> QOR_FOLLOW_API=<api>.
# The test reads the server's log: a seed on which the server stalled (a client held a cycle up)
# is said as such, not counted as failed, and the next seed gets a fresh server. Each server's
# log is kept (see scripts/jack-fixture.sh).
set -u
count=${1:-20}; steps=${2:-3}; api=${3:-}
root=$(cd "$(dirname "$0")/.." && pwd)
test=$root/build/release/tests/system_device_follow_random_jack_test
[ -x "$test" ] || { echo "build the target system_device_follow_random_jack_test first"; exit 2; }
server=qorseeds$$; pidfile=/tmp/qorseeds$$.pid; log=/tmp/qorseeds$$-test.txt
serverlog=/tmp/qorseeds$$.log # the fixture's
"$root/scripts/jack-fixture.sh" start "$server" "$pidfile" >/dev/null || exit 2
trap '"$root/scripts/jack-fixture.sh" stop "$server" "$pidfile"; rm -f "$log"' EXIT INT TERM
failed=0; stalled=0; i=0
while [ $i -lt "$count" ]; do
  seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
  JACK_DEFAULT_SERVER=$server QOR_JACK_SERVER=$server QOR_JACK_LOG=$serverlog QOR_FOLLOW_SEED=$seed \
    QOR_FOLLOW_STEPS=$steps QOR_FOLLOW_API=$api "$root/scripts/jack-fixture.sh" run "$server" "$pidfile" "$test" \
    >"$log" 2>&1
  status=$?
  grep -E '^(passed|FAILED|SERVER STALLED) seed' "$log"
  if grep -q '^FAILING' "$log"; then
    failed=$((failed + 1))
    # What went wrong and the port layer's last words, under the sequence.
    sed -n '/^FAILING/,/^\(passed\|FAILED\) seed/p' "$log" | grep -v '^\(FAILING\|passed\|FAILED\)'
  elif [ $status -ne 0 ]; then
    failed=$((failed + 1))
    echo "FAILED seed $seed: the test ended with status $status; its last lines:"
    grep -v '^jack-fixture: ' "$log" | tail -n 20
  fi
  if grep -q '^SERVER STALLED' "$log"; then
    stalled=$((stalled + 1))
    # What the editor saw and the server's own lines, then a fresh server for the next seed
    # (after a failure the fixture has started one already).
    sed -n '/^the JACK test server stalled/,/^\[/p' "$log" | grep -v '^\['
    [ $status -eq 0 ] && "$root/scripts/jack-fixture.sh" restart "$server" "$pidfile"
  fi
  grep '^jack-fixture: ' "$log"
  i=$((i + 1))
done
echo "$failed of $count seeds failed; the server stalled on $stalled (server logs: $serverlog*)"
[ $failed -eq 0 ]
