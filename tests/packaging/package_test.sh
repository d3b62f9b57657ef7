#!/usr/bin/env bash
# The Debian package, unpacked into a temporary root, or an installed prefix works from there:
#   package_test.sh PACKAGE.deb
#   package_test.sh PREFIX        (after cmake --install BUILD --prefix PREFIX)
# - korvel, korvelctl and korvel-sim say their version, and their manual pages are there;
# - korvelctl identity reads the controller's identity from korvel-sim through ports/COM1, and
#   korvelctl live records 20 rows from it with wire timing;
# - that record, played again by korvel-sim --replay --loop, is served past its end;
# - the launcher makes the fitter's working folder in a fresh home directory, the window program
#   (offscreen) writes its settings file there and the folder reaches the installed language files.
set -euo pipefail
target=$(readlink -f "$1")
work=$(mktemp -d)
sim_pid=""
gui_pid=""
cleanup() {
  if [ -n "$gui_pid" ]; then kill "$gui_pid" 2>/dev/null || true; fi
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ -d "$target" ]; then
  prefix=$target
else
  dpkg-deb -x "$target" "$work/root"
  prefix=$work/root/usr
fi
bin=$prefix/bin

for program in korvel korvelctl korvel-sim; do
  version=$("$bin/$program" --version) || fail "$program --version"
  [[ "$version" == "$program 1.03 (revision "*")" ]] || fail "$program --version said: $version"
  echo "ok: $version"
  [ -f "$prefix/share/man/man1/$program.1.gz" ] || fail "no manual page share/man/man1/$program.1.gz"
done

mkdir -p "$work/shop/ports"
"$bin/korvel-sim" --link "$work/shop/ports/COM1" --wire-timing </dev/null >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/shop/ports/COM1" ] && break; sleep 0.1; done
[ -e "$work/shop/ports/COM1" ] || fail "korvel-sim made no device"
identity=$(cd "$work/shop" && timeout 20 "$bin/korvelctl" identity) || fail "korvelctl identity"
[ "$identity" = "variant 2, firmware 2.05" ] || fail "korvelctl identity said: $identity"
echo "ok: korvelctl identity: $identity"
(cd "$work/shop" && timeout 60 "$bin/korvelctl" live --count 20 --csv drive.csv >/dev/null) || fail "korvelctl live"
rows=$(($(wc -l <"$work/shop/drive.csv") - 1))
[ "$rows" -eq 20 ] || fail "korvelctl live --count 20 recorded $rows rows"
echo "ok: korvelctl live --count 20 --csv: 20 rows at the simulator's wire timing"

# The record played again, looped: more rows are read than it holds.
(cd "$work/shop" && exec "$bin/korvel-sim" --link ports/COM2 --replay drive.csv --loop </dev/null >"$work/replay.log" 2>&1) &
replay_pid=$!
for _ in $(seq 100); do [ -e "$work/shop/ports/COM2" ] && break; sleep 0.1; done
[ -e "$work/shop/ports/COM2" ] || fail "korvel-sim --replay made no device: $(cat "$work/replay.log")"
(cd "$work/shop" && timeout 60 "$bin/korvelctl" --port COM2 live --count 30 --csv again.csv >/dev/null) ||
  fail "korvelctl live from the replayed drive"
kill "$replay_pid" 2>/dev/null || true
wait "$replay_pid" 2>/dev/null || true
rows=$(($(wc -l <"$work/shop/again.csv") - 1))
[ "$rows" -eq 30 ] || fail "the looped replay gave $rows rows, expected 30"
echo "ok: korvel-sim --replay drive.csv --loop: 30 rows read from a 20-row drive"

home=$work/home
mkdir -p "$home"
HOME=$home XDG_DATA_HOME='' QT_QPA_PLATFORM=offscreen "$bin/korvel" >"$work/gui.log" 2>&1 &
gui_pid=$!
folder=$home/.local/share/korvel
for _ in $(seq 200); do [ -s "$folder/bin/Korvel.ini" ] && break; sleep 0.1; done
[ -s "$folder/bin/Korvel.ini" ] || { cat "$work/gui.log" >&2; fail "no settings file in $folder/bin"; }
grep -q '^\[Ustawienia\]' "$folder/bin/Korvel.ini" || fail "settings file: $(cat "$folder/bin/Korvel.ini")"
[ -d "$folder/bin/ports" ] || fail "no ports folder"
for code in pol ang; do
  cmp -s "$folder/Lang/Korvel_lang.$code" "$prefix/share/korvel/Lang/Korvel_lang.$code" ||
    fail "$folder/Lang does not reach the installed language file $code"
done
kill -0 "$gui_pid" 2>/dev/null || fail "the window program ended early"
echo "ok: launcher made $folder, the program wrote its settings file, Lang reaches the installed files"
echo "package test: 5 passed, 0 failed"
