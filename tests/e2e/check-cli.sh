#!/usr/bin/env bash
# The command line: --version, --help, refused arguments, Qt's own options,
# no display at all, and screens and servers the head cannot use as they are.
# Usage (inside xsession.sh): check-cli.sh OGLON
set -euo pipefail
oglon=$1
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Whether the head of the program PID shows within 5 s.
shows() { # PID
    for _ in $(seq 100); do
        xdotool search --onlyvisible --pid "$1" --name '^Oglon$' >/dev/null 2>&1 && return 0
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

[ "$("$oglon" --version)" = "Oglon Chromule 1.00" ] || fail "--version"
help=$("$oglon" --help)
{ grep -q '^Usage: oglon' <<<"$help" && [ "$(wc -l <<<"$help")" -le 5 ]; } || fail "--help: $help"

# Anything else is refused with one line on stderr and a non-zero status.
for argument in --bogus extra -x; do
    status=0
    err=$("$oglon" "$argument" 2>&1 >/dev/null) || status=$?
    { [ "$status" -ne 0 ] && [ "$(wc -l <<<"$err")" -eq 1 ] && grep -q -- "$argument" <<<"$err"; } ||
        fail "argument $argument: status $status, said: $err"
done

# Qt's own options still work: -display names the server to use.
env -u DISPLAY "$oglon" -display "$DISPLAY" & pid=$!
shows "$pid" || fail "-display: no window"
kill "$pid"
wait "$pid" || fail "-display: ended badly"

# Refused before anything shows: one line naming TEXT, status 1, no abort.
refused() { # TEXT COMMAND...
    local text=$1 status=0 err
    shift
    err=$(timeout 10 "$@" 2>&1) || status=$?
    { [ "$status" -eq 1 ] && [ "$(wc -l <<<"$err")" -eq 1 ] && grep -qiF -- "$text" <<<"$err"; } ||
        fail "$*: status $status, said: $err"
}
refused display env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$oglon"
# A display that cannot be opened, named either way; a platform Qt lacks.
free=99
while [ -e "/tmp/.X11-unix/X$free" ]; do free=$((free + 1)); done
for display in ":$free" garbage; do refused "$display" env DISPLAY="$display" "$oglon"; done
refused ":$free" "$oglon" --display ":$free"
refused bogus "$oglon" --platform bogus
# Scale factors that would leave a pixel-sized head or gigabytes of pictures.
for factor in 0 -1 nan 1000; do refused "$factor" env QT_SCALE_FACTOR="$factor" "$oglon"; done
# The same, as the scale a screen ends up with from other settings.
refused "scale of 1000" env QT_SCREEN_SCALE_FACTORS=1000 "$oglon"
refused "scale of inf" env QT_SCREEN_SCALE_FACTORS=inf "$oglon"
refused "scale of 1041.67" env QT_FONT_DPI=100000 "$oglon"
refused "scale of 64" env QT_SCALE_FACTOR=8 QT_SCREEN_SCALE_FACTORS=8 "$oglon"
xrdb -nocpp -merge <<<'Xft.dpi: 100000'
refused "scale of 1041.67" "$oglon"
xrdb -remove
# A screen added later with such a scale (a monitor scaled by its name) ends
# the program the same way.
QT_SCREEN_SCALE_FACTORS=extra=1000 "$oglon" 2>"$work/said" & pid=$!
shows "$pid" || fail "screen added: no head"
xrandr --setmonitor extra 512/135x384/101+512+0 none >/dev/null
timeout 5 tail --pid="$pid" -f /dev/null || kill "$pid"
status=0; wait "$pid" || status=$?
xrandr --delmonitor extra >/dev/null
{ [ "$status" -eq 1 ] && [ "$(wc -l <"$work/said")" -eq 1 ] && grep -q "scale of 1000" "$work/said"; } ||
    fail "screen added: status $status, said: $(cat "$work/said")"
# On a server of the check's own, a screen of 8-bit colour (screen 1), and a
# client made untrusted as ssh -X makes it. The server takes every cookie in
# its file, whatever display the entry names.
cookie=$(mcookie)
xauth -q -f "$work/trusted" add :0 . "$cookie" 2>/dev/null
Xvfb -displayfd 3 -nolisten tcp -noreset -auth "$work/trusted" +extension SECURITY \
    -screen 0 640x480x24 -screen 1 320x240x8 3>"$work/display" 2>/dev/null &
own_pid=$!
trap 'kill "$own_pid"; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
own=:$(head -n1 "$work/display")
xauth -q -f "$work/trusted" add "$own" . "$cookie"
XAUTHORITY=$work/trusted xauth -q -f "$work/untrusted" generate "$own" . untrusted 2>/dev/null
refused "depth of 8" env DISPLAY="$own.1" XAUTHORITY="$work/trusted" "$oglon"
# The untrusted client is offered no SHAPE (nor any extension but two): the
# head shows all the same, as a rectangle, and says so in one line.
DISPLAY=$own XAUTHORITY=$work/untrusted "$oglon" 2>"$work/said" & pid=$!
DISPLAY=$own XAUTHORITY=$work/trusted shows "$pid" || fail "untrusted: no head: $(cat "$work/said")"
kill "$pid"
wait "$pid" || fail "untrusted: ended badly"
said=$(grep '^oglon:' "$work/said" || true)
{ [ "$(wc -l <<<"$said")" -eq 1 ] && grep -q SHAPE <<<"$said"; } || fail "untrusted: said: $said"

# A platform chosen explicitly needs no X display; it runs until told to end.
env -u DISPLAY timeout --preserve-status 1 "$oglon" --platform offscreen 2>/dev/null || fail "offscreen: status $?"

# A Wayland session with XWayland: runs on X11 and says so once.
WAYLAND_DISPLAY=wayland-test "$oglon" 2>"${TMPDIR:-/tmp}/oglon-wayland.$$" & pid=$!
shows "$pid" || true
kill "$pid"; wait "$pid" || true
said=$(cat "${TMPDIR:-/tmp}/oglon-wayland.$$"); rm -f "${TMPDIR:-/tmp}/oglon-wayland.$$"
{ [ "$(wc -l <<<"$said")" -eq 1 ] && grep -q XWayland <<<"$said"; } || fail "Wayland: said: $said"
echo "1 passed, 0 failed"
