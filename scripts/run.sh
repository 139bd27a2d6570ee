#!/bin/bash
# The main job: installs what is missing, builds the release configuration, then shows the
# editor doing its work against the synthesizer simulator on a private JACK server: it finds the
# synthesizer, pulls its sounds, edits them, stores the edited program into a library slot, sends
# the slot back to the synthesizer and reads it back, and draws every page at the three sizes.
# One line per step, a summary line, exit status 1 when a step failed. Everything it writes is
# under out/.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
./scripts/install-deps.sh || exit 1
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
cmake --build build/release -j "$(nproc)" >out.build.log 2>&1 || { tail -30 out.build.log; exit 1; }
rm -f out.build.log

host_exe=$root/build/release/tools/qor-host/qor-host
sim_exe=$root/build/release/tools/synth-sim/synth-sim
bundle=$root/build/release/QOR.component
out=$root/out
run=$out/run
data=$out/data
shots=$out/screenshots
rm -rf "$run" "$data" "$shots"
mkdir -p "$run" "$data" "$shots"

# One server name per checkout, its process id kept outside the run folder: a run that was killed
# leaves a server (or the server's entry in JACK's table of eight) that the next run of this
# checkout takes over by name, where fresh names would fill the table for every JACK user.
server=qor-run-$(printf %s "$root" | md5sum | cut -c1-8)
jack_pid=$out/jack.pid
export JACK_DEFAULT_SERVER=$server QOR_MIDI_API=jack QOR_DATA_FOLDER=$data
started=$(date +%s.%N)
failed=0
steps=0
host_pid=""
sim_pid=""

stamp() { awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%6.2f s", b - a }'; }
ok() { steps=$((steps + 1)); echo "[$(stamp)] ok    $*"; }
fail() { steps=$((steps + 1)); failed=$((failed + 1)); echo "[$(stamp)] FAIL  $*"; }

cleanup() {
  exec 3>&- 4>&- 2>/dev/null
  for pid in $host_pid $sim_pid; do
    kill "$pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  done
  ./scripts/jack-fixture.sh stop "$server" "$jack_pid" >/dev/null
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# The first line of file after line number $2 that matches the pattern $3, waiting up to $4
# seconds.
await_line() {
  local file=$1 after=$2 pattern=$3 seconds=$4 i line
  for ((i = 0; i < seconds * 20; i++)); do
    line=$(tail -n +"$((after + 1))" "$file" 2>/dev/null | grep -m1 -E -- "$pattern")
    if [ -n "$line" ]; then echo "$line"; return 0; fi
    sleep 0.05
  done
  return 1
}
lines() { wc -l <"$1"; }

# One host command; its result line ("cmd: ..." or "cmd ARG: ...") is left in $reply.
reply=""
host() {
  local n name=${1%% *}
  n=$(lines "$run/host.txt")
  echo "$1" >&3
  reply=$(await_line "$run/host.txt" "$n" "^$name( [^:]*)?: " "${2:-20}") || { reply="(no answer)"; return 1; }
}
# The editor's status and read-out texts.
texts() { host texts && echo "${reply#texts: }"; }
# Messages in the simulator's record of one direction and type byte, counted.
recorded() { grep -c " $1 F0 00 20 29 01 2[01] [0-9A-F][0-9A-F] $2" "$run/sim-record.txt"; }

# 1. The private JACK server.
if ./scripts/jack-fixture.sh start "$server" "$jack_pid" >"$run/jack.txt" 2>&1; then
  ok "JACK server $server (dummy backend)"
else
  fail "JACK server did not start: $(tail -1 "$run/jack.txt")"; exit 1
fi

# 2. The seed: bank A of the simulator's own init programs, each under a name of its own.
"$sim_exe" --name "seed-$$" --dump-on-exit "$run/power-on" >/dev/null 2>&1 <<<"quit"
# Its ports must be gone before the editor lists the ports it can open.
for _ in $(seq 50); do jack_lsp 2>/dev/null | grep -q "^seed-$$" || break; sleep 0.1; done
names=("Deep Sub Bass" "Glass Pad" "Brass Stab" "Acid Line" "Warm Strings" "Pluck Arp" "Noise Sweep"
       "Vox Choir" "Bell Tower" "Wobble Lead")
perl -e '
  local $/; open(my $f, "<:raw", $ARGV[0]) or die; my $all = <$f>;
  my ($body) = $all =~ /\xF0\x00\x20\x29\x01[\x20\x21].\x02\x05\x00(.{286})\xF7/s or die "no program A 1";
  my @names = @ARGV[2..$#ARGV];
  open(my $o, ">:raw", $ARGV[1]) or die;
  for my $slot (0..127) {
    my $name = $slot < @names ? $names[$slot] : sprintf("Seed A%03d", $slot + 1);
    my $b = $body; substr($b, 0, 16) = sprintf("%-16.16s", $name);
    print $o "\xF0\x00\x20\x29\x01\x20\x0F\x02\x05" . chr($slot) . $b . "\xF7";
  }' "$run/power-on/programs-A.syx" "$run/seed-bank-A.syx" "${names[@]}" 2>"$run/seed.txt"
if [ -s "$run/seed-bank-A.syx" ]; then
  ok "seed: bank A of 128 named programs ($(stat -c %s "$run/seed-bank-A.syx") bytes), first \"${names[0]}\""
else
  fail "seed not written: $(cat "$run/seed.txt")"
fi

# 3. The synthesizer simulator, answering at device id 16 (0F) with the seeded bank.
mkfifo "$run/sim.in" "$run/host.in"
"$sim_exe" --name "qor-sim-$$" --device-id 15 --edit-reply both --load "$run/seed-bank-A.syx" \
  --record "$run/sim-record.txt" <"$run/sim.in" >"$run/sim.txt" 2>"$run/sim-err.txt" &
sim_pid=$!
exec 4>"$run/sim.in"
if ready=$(await_line "$run/sim.txt" 0 "^ready " 10); then
  read -r _ sim_in sim_out <<<"$ready"
  ok "synth-sim pid $sim_pid: ports $sim_in, $sim_out"
else
  fail "synth-sim did not open its ports: $(tail -2 "$run/sim-err.txt")"; exit 1
fi

# The library: the seed bank is the data folder's one bank file, so the upper pane shows it.
mkdir -p "$data/Patches"
cp "$run/seed-bank-A.syx" "$data/Patches/Seed Bank A.syx"

# 4. The UI-size file: normal size, first run done, the simulator's ports by name.
printf '\nnormal\nyes\n%s\n%s\n' "$sim_in" "$sim_out" >"$data/QOR Editor UI.txt"
ok "UI-size file: normal, yes, $sim_in, $sim_out"

# 5. The host with the real plug-in; the start-up finds the ports by name and asks who answers.
"$host_exe" --bundle "$bundle" --script - <"$run/host.in" >"$run/host.txt" 2>"$run/host-err.txt" &
host_pid=$!
exec 3>"$run/host.in"
t0=$(date +%s%N)
if host open 30 && [ "$reply" = "open: 0" ]; then
  ok "qor-host pid $host_pid: plug-in opened in $((($(date +%s%N) - t0) / 1000000)) ms"
else
  fail "plug-in did not open: $reply"; exit 1
fi
host "getparam 5018"
port=${reply##* }
host "setparam 5018 $port"
# 6. The device-id enquiry: the global channel (4322) turns to the answering id.
for _ in $(seq 150); do
  [ "$(recorded out 15)" -ge 1 ] && break
  sleep 0.1
done
sleep 0.3
host "getparam 4322"
channel=${reply##* }
if [ "$channel" = 15 ] && [ "$(recorded out 15)" -ge 1 ]; then
  ok "enquiry answered: device id 16, $(recorded out 0F) + $(recorded out 15) global dumps received"
else
  fail "enquiry: global channel is \"$channel\", $(recorded in 10) enquiries sent"
fi

# 7. The editor window.
if host editor-open && [[ $reply == "editor-open: "* ]]; then
  host tick
  ok "editor open ${reply#editor-open: }: $(texts)"
else
  fail "editor did not open: $reply"
fi

# 8. The edit buffer and the performance: the synthesizer's part 1 takes program A 3 first.
echo "pc 0 2" >&4
sleep 0.3
request_line=$(lines "$run/sim-record.txt")
before=$(recorded in 08)
host "setparam 5107 1"
status=""
for _ in $(seq 100); do
  host tick >/dev/null
  status=$(texts)
  [[ $status == "Data request completed!"* ]] && break
  sleep 0.1
done
if [[ $status == "Data request completed!"* ]] && [ "$(recorded in 08)" -gt "$before" ]; then
  ok "edit buffer and performance requested: $(recorded out 05) performance, $(recorded out 00) program dumps answered; $status"
else
  fail "request: $(($(recorded in 08) - before)) requests sent; status \"$status\""
fi
host "setparam 5107 0"

# 9. Three controls turned on part 1: cutoff, resonance, oscillator 1 semitone.
for turn in "1504 90 Cutoff" "1520 40 Resonance" "1120 19 Semitone"; do
  read -r id value what <<<"$turn"
  n=$(lines "$run/sim-record.txt")
  host "setparam $id $value"
  host tick
  readout=$(texts)
  if note=$(await_line "$run/sim-record.txt" "$n" " = $value " 5); then
    ok "turned $what to $value: synthesizer took ${note#*# }; read-out: $readout"
  else
    fail "turned $what to $value: the synthesizer recorded nothing; read-out: $readout"
  fi
done
last_readout=$readout

# The status line once it reads one of the given texts, waiting up to $2 tenths of a second
# (10 s by default).
await_status() {
  local i
  status=""
  for ((i = 0; i < ${2:-100}; i++)); do
    host tick >/dev/null
    status=$(texts)
    [[ $status =~ ^($1) ]] && return 0
    sleep 0.1
  done
  return 1
}

# 10. The library round trip: the edited program is stored into slot 6 of the seed bank in the
# upper pane (Overwrite), the cutoff turned away on the synthesizer, the slot sent back to it by
# a double click, and its edit buffer read back into the editor.
host "setparam 5118 1"
host tick
slot6="431 285" # slot 6 of the upper pane ("Pluck Arp") at the normal size
host "click $slot6"
host "setparam 4978 1"
if await_status "Program received to slot"; then
  ok "library: seed bank in the upper pane, the edited program stored into slot 6: $status"
else
  fail "library store into slot 6: status \"$status\""
fi
host "setparam 1504 30"
n=$(lines "$run/sim-record.txt")
host "dblclick $slot6"
# The program dump (type 00, part 1) named "Brass Stab" and its cutoff (byte 220).
brass="42 72 61 73 73 20 53 74 61 62"
if sent=$(await_line "$run/sim-record.txt" "$n" " in F0 00 20 29 01 2[01] 0F 00 00 $brass .*stored into part 1 edit buffer" 10); then
  cutoff=$((16#$(awk '{ print $(3 + 220) }' <<<"$sent")))
  # Part 1's program as the synthesizer sent it at the request: the slot brings back every byte
  # of it but the three turned controls' (semitone 33, cutoff 220, resonance 230) and the
  # reserved 29, 78 and 112.
  requested=$(tail -n +"$((request_line + 1))" "$run/sim-record.txt" |
    grep -m1 -E " out F0 00 20 29 01 2[01] 0F 00 00 ")
  changed=$(awk -v a="$requested" -v b="$sent" 'BEGIN {
    split("29 33 78 112 220 230", s, " "); for (i in s) skip[s[i]] = 1
    split(a, x, " "); split(b, y, " ")
    for (k = 0; k < 296; k++) if (!(k in skip) && x[3 + k] != y[3 + k]) printf " %d", k
  }')
  if [ -z "$requested" ]; then
    fail "slot 6 sent, but the request sent no program dump of part 1 to compare it with"
  elif [ -n "$changed" ]; then
    fail "slot 6 reached the synthesizer with bytes changed that no control turned:$changed"
  elif [ "$cutoff" = 90 ]; then
    ok "slot 6 sent to the synthesizer: \"Brass Stab\" into part 1's edit buffer, cutoff $cutoff, every other byte as requested"
  else
    fail "slot 6 reached the synthesizer with cutoff $cutoff, not 90"
  fi
else
  fail "slot 6 did not reach the synthesizer"
fi
# The send ends with its own pause after the dump; a request before then would be dropped.
sleep 0.5
host "setparam 5107 0"
host "setparam 5107 1"
await_status "Data request completed!|CONNECTION TIMED OUT!"
host "getparam 1504"
if [[ $status == "Data request completed!"* ]] && [ "${reply##* }" = 90 ]; then
  ok "read back from the synthesizer: cutoff 30 -> ${reply##* }; $status"
else
  fail "read back: cutoff ${reply##* }; status \"$status\""
fi
host "setparam 5107 0"

# 10b. A whole bank: bank A of the synthesizer requested into the upper pane through the bank
# edit menu ("Request HW Patch Data", "All Patches from Bank A"), then saved as a new Standard
# MIDI bank file in the library (its "Save As..." with the file panel answered).
bankedit="860 196" # the bank edit menu's strip at the normal size
# The answers are stored-program dumps (type 02), one per slot; the status is still the read-back's
# "Data request completed!" until the last one is in, so the count is awaited first.
before=$(recorded out 02)
host "menu-next 0.4"
host "click $bankedit"
for _ in $(seq 600); do [ $(($(recorded out 02) - before)) -ge 128 ] && break; sleep 0.1; done
if await_status "Data request completed!|CONNECTION TIMED OUT!" && [[ $status == "Data request completed!"* ]] &&
  [ $(($(recorded out 02) - before)) -eq 128 ]; then
  ok "bank A requested into the upper pane: $(($(recorded out 02) - before)) stored programs answered; $status"
else
  fail "bank A request: $(($(recorded out 02) - before)) stored programs answered; status \"$status\""
fi
saved_bank="$data/Patches/synth-bank-A.mid"
rm -f "$saved_bank"
host "panel-next $saved_bank"
host "menu-next 8.0"
host "click $bankedit"
for _ in $(seq 100); do [ -s "$saved_bank" ] && break; sleep 0.05; done
sleep 0.2
# One SysEx event per program: each dump starts with the maker's bytes 00 20 29.
dumps=$(od -An -v -tx1 "$saved_bank" 2>/dev/null | tr -s " \n" "  " | grep -o "00 20 29 01 2[01]" | wc -l)
if [ "$(head -c 4 "$saved_bank" 2>/dev/null)" = MThd ] && [ "$dumps" -eq 128 ]; then
  ok "bank saved as ${saved_bank#$root/}: $(stat -c %s "$saved_bank") bytes, $dumps programs"
else
  fail "bank save: ${saved_bank#$root/} holds $dumps programs"
fi
host "setparam 5118 0"

# 11. The project, as the host saves it, recalled into each reopened instance.
host "saveclass 0"
if [[ $reply == "saveclass 0: 0"* ]]; then ok "project saved: ${reply#saveclass 0: }"; else fail "project save: $reply"; fi
program_before=$(texts)

# 12. Every page at each size: the editor reopens at the size the UI file names, with the
# project recalled.
shot_count=0
for size in small normal large; do
  host editor-close; host close; host "uisize $size"; host open 30
  n=$(lines "$run/sim-record.txt")
  host "loadclass 0"
  [ "$reply" = "loadclass 0: 0" ] || fail "project recall at $size: $reply"
  host editor-open
  geometry=${reply#editor-open: }
  # The recall sends the project to the synthesizer: globals, eight programs, the performance.
  pushed=$(await_line "$run/sim-record.txt" "$n" " in F0 00 20 29 01 2[01] [0-9A-F]{2} 05 " 20) ||
    fail "$size: the recalled project did not reach the synthesizer"
  # The send ends with its own pauses after the performance (the follow-up and 500 ms): until
  # then the editor is greyed behind its Cancel button, so the pages wait for them.
  sleep 1.2
  host tick
  recalled=$(texts)
  pushed_programs=$(tail -n +"$((n + 1))" "$run/sim-record.txt" | grep -c " in F0 00 20 29 01 2[01] [0-9A-F][0-9A-F] 00 ")
  if [[ $recalled == *"Brass Stab"* ]]; then
    ok "$size: project recalled and sent ($pushed_programs programs, then the performance): $recalled"
  else
    fail "$size: the recalled project lost the program name: $recalled"
  fi
  for page in 0 1 2 3 4 5 6; do
    host "setparam 5118 $page"
    host "setparam 1120 19"
    host tick
    file=$shots/$size-page$page.png
    if host "screenshot $file" && [ -s "$file" ]; then
      shot_count=$((shot_count + 1))
    else
      fail "screenshot $size page $page: $reply"
    fi
  done
  ok "$size editor $geometry: 7 pages drawn"
done
if [ "$shot_count" = 21 ]; then ok "21 screenshots in ${shots#$root/}"; fi

host editor-close
host close
exec 3>&-
wait "$host_pid"; host_rc=$?
host_pid=""
grep -q "unknown command" "$run/host.txt" && fail "the host met an unknown command"
[ "$host_rc" -eq 0 ] || fail "qor-host ended with $host_rc"

echo "QOR Editor end to end: $((steps - failed)) of $steps steps ok, $failed failed, $(stamp) (last read-out: $last_readout; record: ${run#$root/}/sim-record.txt)"
[ "$failed" -eq 0 ]
