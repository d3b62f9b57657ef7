#!/usr/bin/env bash
# End-to-end smoke test of the window program against korvel-sim on a pseudo-terminal, on Qt's
# offscreen platform: the real korvel starts, polls the simulator and stays up; then the scripted
# build of the same program goes through every page, both languages, a size change, the
# program-information box and Exit.
# Usage: smoke_test.sh <korvel> <korvel_smoke_driver> <korvel-sim> <folder of the language files>
set -euo pipefail
korvel=$1
driver=$2
sim=$3
lang=$4
export QT_QPA_PLATFORM=offscreen

tree=$(mktemp -d /tmp/korvel_smoke_XXXXXX)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$tree"
}
trap cleanup EXIT
mkdir -p "$tree/bin/ports" "$tree/Lang"
# Restore points go into the scratch tree, never into the home of whoever runs the tests.
export XDG_DATA_HOME="$tree/data"
cp "$lang"/Korvel_lang.pol "$lang"/Korvel_lang.ang "$tree/Lang/"

# Without commands on its standard input the simulator just serves.
"$sim" --link "$tree/bin/ports/COM1" </dev/null >"$tree/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -L "$tree/bin/ports/COM1" ] && break; sleep 0.1; done
if [ ! -L "$tree/bin/ports/COM1" ]; then
  echo "korvel-sim did not make its link"; cat "$tree/sim.log"; exit 1
fi

cd "$tree/bin"
# 1. The program itself: it must still be running when stopped after three seconds.
status=0
timeout 3 "$korvel" >"$tree/korvel.log" 2>&1 || status=$?
if [ "$status" -ne 124 ]; then
  echo "korvel ended by itself with status $status"; cat "$tree/korvel.log"; exit 1
fi
# The first connection kept the controller's parameters.
if ! ls "$tree/data/korvel/restore-points/"*_connection.kvs >/dev/null 2>&1; then
  echo "no restore point after the first connection"; exit 1
fi
if [ "$(cat Korvel.ini)" != "$(printf '[Ustawienia]\nCommPort= 1\nLanguage= pol')" ]; then
  echo "unexpected Korvel.ini:"; cat Korvel.ini; exit 1
fi
echo "ok   korvel started, left Korvel.ini and kept running"
rm -f Korvel.ini

# 2. The scripted run.
"$driver"
