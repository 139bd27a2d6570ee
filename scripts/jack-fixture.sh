#!/bin/sh
# Private JACK server for the MIDI tests: dummy backend, own server name, no real-time.
#   jack-fixture.sh start <server-name> <pidfile>   starts it and waits until it answers
#   jack-fixture.sh stop  <server-name> <pidfile>   stops it by its process id
#   jack-fixture.sh restart <server-name> <pidfile> stops it and starts it again
#   jack-fixture.sh run   <server-name> <pidfile> <test> [args]
#                                                   runs one test (for at most QOR_JACK_TEST_SECONDS,
#                                                   if set); when it fails, restarts the server, so
#                                                   that a client the test left dead in the graph
#                                                   cannot stall the tests after it; a test
#                                                   that saw the server stall and passed asks for
#                                                   the same by creating QOR_JACK_RESTART_FILE
# The server writes <pidfile without .pid>.log. A start keeps the log of the server before it
# under the next number (.log.1, .log.2, ...; the latest 20): after a restart it is the one
# that tells which client held the server up.
set -u
cmd=$1; name=$2; pidfile=$3
log="${pidfile%.pid}.log"
kept=""

keep_log() {
  [ -s "$log" ] || return 0
  last=0
  for old in "$log".*; do
    n=${old##*.}
    case $n in '' | *[!0-9]*) continue ;; esac
    [ "$n" -gt "$last" ] && last=$n
  done
  kept="$log.$((last + 1))"
  mv "$log" "$kept"
  for old in "$log".*; do
    n=${old##*.}
    case $n in '' | *[!0-9]*) continue ;; esac
    [ "$n" -le $((last - 19)) ] && rm -f "$old"
  done
  return 0
}

start() {
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
    kill "$(cat "$pidfile")" 2>/dev/null; sleep 0.5
  fi
  export JACK_NO_AUDIO_RESERVATION=1
  keep_log
  # A server of the same name that died moments ago can leave its shared memory behind for a
  # short while: try a few times.
  # Synchronous: each cycle waits for every client. Without it a client that the loaded machine
  # holds up past its cycle misses that cycle's MIDI, and a dump sent then is lost, doubled or
  # reordered; a MIDI cable does not do that.
  for attempt in 1 2 3; do
    # QOR_JACK_TIMEOUT_MS: a test's own server that must give up on a killed client sooner.
    jackd --no-realtime --sync --timeout "${QOR_JACK_TIMEOUT_MS:-10000}" --name "$name" -d dummy -r 48000 -p 256 >"$log" 2>&1 &
    echo $! >"$pidfile"
    i=0
    while [ $i -lt 100 ]; do
      if JACK_DEFAULT_SERVER="$name" jack_lsp >/dev/null 2>&1; then
        echo "jack server $name up (pid $(cat "$pidfile"), attempt $attempt)"; return 0
      fi
      kill -0 "$(cat "$pidfile")" 2>/dev/null || break
      sleep 0.1; i=$((i + 1))
    done
    echo "jackd attempt $attempt failed:"; cat "$log"
    kill "$(cat "$pidfile")" 2>/dev/null
    sleep 1
  done
  echo "jack server $name did not answer"; cat "$log"; return 1
}

stop() {
  if [ -f "$pidfile" ]; then
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    kill -9 "$pid" 2>/dev/null
    rm -f "$pidfile"
  fi
  return 0
}

restart() {
  stop
  if start >/dev/null; then
    echo "jack-fixture: the JACK server $name restarted${kept:+; the log of the one before is $kept}"
  else
    echo "jack-fixture: the JACK server did not come back${kept:+; the log of the one before is $kept}"
    return 1
  fi
}

case "$cmd" in
start) start; exit $? ;;
stop) stop; exit 0 ;;
restart) restart; exit $? ;;
run)
  shift 3
  export QOR_JACK_RESTART_FILE="${pidfile%.pid}.restart"
  rm -f "$QOR_JACK_RESTART_FILE"
  if [ -n "${QOR_JACK_TEST_SECONDS:-}" ]; then
    timeout -s ABRT -k 5 "$QOR_JACK_TEST_SECONDS" "$@"
  else
    "$@"
  fi
  status=$?
  if [ $status -ne 0 ]; then
    # On a line of its own: a test's output may end without a line end.
    printf '\njack-fixture: %s failed (exit status %s): restarting the JACK server\n' "$(basename "$1")" $status
    restart
  elif [ -e "$QOR_JACK_RESTART_FILE" ]; then
    printf '\njack-fixture: %s saw the server stall: restarting the JACK server\n' "$(basename "$1")"
    restart
  fi
  rm -f "$QOR_JACK_RESTART_FILE"
  exit $status ;;
esac
echo "usage: $0 start|stop|restart|run <server-name> <pidfile> [<test> [args]]"; exit 2
