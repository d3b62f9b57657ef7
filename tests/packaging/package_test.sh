#!/usr/bin/env bash
# The Debian package, unpacked into a temporary root, works from there:
#   package_test.sh PACKAGE.deb
# - korvel, korvelctl and korvel-sim say their version;
# - korvelctl identity reads the controller's identity from korvel-sim through ports/COM1;
# - the launcher makes the fitter's working folder in a fresh home directory, the window program
#   (offscreen) writes its settings file there and the folder reaches the installed language files.
set -euo pipefail
deb=$(readlink -f "$1")
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

root=$work/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin

for program in korvel korvelctl korvel-sim; do
  version=$("$bin/$program" --version) || fail "$program --version"
  [[ "$version" == "$program 1.03 (revision "*")" ]] || fail "$program --version said: $version"
  echo "ok: $version"
done

mkdir -p "$work/shop/ports"
"$bin/korvel-sim" --link "$work/shop/ports/COM1" </dev/null >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/shop/ports/COM1" ] && break; sleep 0.1; done
[ -e "$work/shop/ports/COM1" ] || fail "korvel-sim made no device"
identity=$(cd "$work/shop" && timeout 20 "$bin/korvelctl" identity) || fail "korvelctl identity"
[ "$identity" = "variant 2, firmware 2.05" ] || fail "korvelctl identity said: $identity"
echo "ok: korvelctl identity: $identity"

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
  cmp -s "$folder/Lang/Korvel_lang.$code" "$root/usr/share/korvel/Lang/Korvel_lang.$code" ||
    fail "$folder/Lang does not reach the installed language file $code"
done
kill -0 "$gui_pid" 2>/dev/null || fail "the window program ended early"
echo "ok: launcher made $folder, the program wrote its settings file, Lang reaches the installed files"
echo "package test: 3 passed, 0 failed"
