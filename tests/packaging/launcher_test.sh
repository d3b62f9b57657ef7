#!/bin/sh
# The launcher, made from its template with a stand-in program that prints its working folder:
#   launcher_test.sh korvel.sh.in
# - a relative XDG_DATA_HOME is ignored (the folder is made under HOME, not under the caller's
#   current folder);
# - a CDPATH naming another folder with a bin/ inside does not send the program there;
# - --help works without HOME, and a start without HOME fails with a message, making nothing.
set -eu
template=$(readlink -f "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/prefix/bin" "$work/prefix/lib/korvel" "$work/prefix/share/korvel/Lang" "$work/home" "$work/caller"
sed -e 's|@KORVEL_PRIVATE_BIN@|lib/korvel|' -e 's|@KORVEL_SHARE@|share/korvel|' "$template" >"$work/prefix/bin/korvel"
printf '#!/bin/sh\npwd -P\n' >"$work/prefix/lib/korvel/korvel"
chmod +x "$work/prefix/bin/korvel" "$work/prefix/lib/korvel/korvel"
launcher=$work/prefix/bin/korvel

# A decoy: with CDPATH set to it, a cd to the relative "relative/korvel/bin" would land here.
mkdir -p "$work/decoy/relative/korvel/bin"
shown=$(cd "$work/caller" && HOME=$work/home XDG_DATA_HOME=relative CDPATH=$work/decoy "$launcher") ||
  fail "the launcher failed"
[ "$shown" = "$work/home/.local/share/korvel/bin" ] || fail "started in $shown"
[ ! -e "$work/caller/relative" ] || fail "a relative XDG_DATA_HOME made a folder in the caller's folder"
[ -d "$work/home/.local/share/korvel/bin/ports" ] || fail "no ports folder"
case $(stat -c %a "$work/home/.local/share/korvel/bin/ports") in
  *[2367]) fail "the ports folder may be written by others" ;;
esac

help=$(env -u HOME XDG_DATA_HOME= "$launcher" --help) || fail "--help without HOME"
case $help in *"usage: korvel"*) ;; *) fail "--help said: $help" ;; esac
if env -u HOME XDG_DATA_HOME= "$launcher" >/dev/null 2>"$work/err"; then fail "started without HOME"; fi
grep -q "HOME is not set" "$work/err" || fail "no message without HOME: $(cat "$work/err")"
echo "launcher test: passed"
