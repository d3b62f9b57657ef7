#!/usr/bin/env bash
# scripts/run as a fitter starts it, on a virtual screen, each start stopped once it has shown it
# works:
# - against the simulator: the window program starts in run/bin, writes its settings file there
#   and is still running 3 s later;
# - with --device auto: a simulator is linked as run/bin/ports/COM2, korvelctl ports finds it and
#   links COM1 to it, and the window program polls it for live data;
# - with --device PATH: COM1 leads to that device (the simulator's pseudo-terminal), polled alike.
#   run_script_test.sh        (from anywhere; uses the checkout it lies in)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
work=$(mktemp -d)
run_pid=""
sim_pid=""
# shellcheck disable=SC2317  # run by the EXIT trap, which shellcheck does not follow
cleanup() {
  stop_run
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -f run/bin/ports/COM2
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  sed 's/^/    /' "$work/run.log" >&2 || true
  exit 1
}

# scripts/run in a session of its own, so that the virtual X server, the simulator and the program
# all end together.
start_run() {
  setsid xvfb-run -a -s "-screen 0 1280x1024x24" scripts/run "$@" >"$work/run.log" 2>&1 &
  run_pid=$!
}
stop_run() {
  if [ -n "$run_pid" ]; then
    kill -TERM -- "-$run_pid" 2>/dev/null || true
    wait "$run_pid" 2>/dev/null || true
    run_pid=""
  fi
}
# Runs a check until it passes while scripts/run runs, for up to 120 s (scripts/run first brings
# the build up to date).
wait_for() {
  for _ in $(seq 1200); do
    if "$@"; then return 0; fi
    kill -0 "$run_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

mkdir -p run/bin
rm -f run/bin/Korvel.ini
start_run
wait_for test -s run/bin/Korvel.ini || fail "scripts/run: the program wrote no run/bin/Korvel.ini"
sleep 3
kill -0 "$run_pid" 2>/dev/null || fail "scripts/run ended within 3 s of the program's start"
stop_run
echo "ok: scripts/run: the program started in run/bin against the simulator and kept running"

mkdir -p run/bin/ports
rm -f run/bin/ports/COM1 run/bin/ports/COM2
build/release/sim/pty/korvel-sim --link run/bin/ports/COM2 --log </dev/null >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -L run/bin/ports/COM2 ] && break; sleep 0.1; done
[ -L run/bin/ports/COM2 ] || fail "korvel-sim made no run/bin/ports/COM2: $(cat "$work/sim.log")"
start_run --device auto
wait_for grep -q " rx 65 02 02 " "$work/sim.log" ||
  fail "scripts/run --device auto: the program did not poll the simulator found on COM2"
stop_run
grep -q '^COM1 is ' "$work/run.log" || fail "scripts/run --device auto did not say what COM1 is"
echo "ok: scripts/run --device auto: $(grep -m1 '^COM1 is ' "$work/run.log"), polled for live data"

device=$(readlink run/bin/ports/COM2)
[ -c "$device" ] || fail "run/bin/ports/COM2 leads to no device: $device"
polls=$(grep -c " rx 65 02 02 " "$work/sim.log")
more_polls() { [ "$(grep -c " rx 65 02 02 " "$work/sim.log")" -gt "$polls" ]; }
start_run --device "$device"
wait_for more_polls || fail "scripts/run --device $device: the program did not poll the simulator"
stop_run
[ "$(readlink run/bin/ports/COM1)" = "$device" ] || fail "scripts/run --device $device did not link COM1 to it"
echo "ok: scripts/run --device $device: COM1 leads there, polled for live data"
