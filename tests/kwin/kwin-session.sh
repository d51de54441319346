#!/usr/bin/env bash
# Runs a command in a private headless Plasma Wayland session: its own D-Bus
# session bus, KWin on a virtual screen with XWayland, and a private runtime,
# config and home directory; then ends it all. Usage: kwin-session.sh COMMAND...
# The command sees DISPLAY (KWin's XWayland), WAYLAND_DISPLAY and the bus, and
# OGLON_KWIN_PID; its output and exit status are the script's.
set -u

work=$(mktemp -d)
session_pid=
# shellcheck source=tools/end-session.sh
. "$(dirname "$0")/../../tools/end-session.sh"
export OGLON_SESSION=$work
# shellcheck disable=SC2317 # called by the trap
cleanup() {
    if [ -n "$session_pid" ] && kill -0 "$session_pid" 2>/dev/null; then
        kill -- -"$session_pid" 2>/dev/null
        wait "$session_pid" 2>/dev/null
    fi
    # And what left the session's process group, such as services its bus
    # started.
    end_session_processes "$work"
    [ -f "$work/output" ] && cat "$work/output"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# kwin_wayland carries a file capability that an unprivileged container
# refuses to grant; a copy without it runs.
kwin=$(command -v kwin_wayland) || { echo "kwin-session: no kwin_wayland" >&2; exit 1; }
cp "$kwin" "$work/kwin_wayland"

mkdir -m 700 "$work/runtime" "$work/config" "$work/home"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
# Lets the tests' own client move the pointer through fake input. KWin draws
# with QPainter unless told otherwise: software OpenGL costs a core.
export KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_COMPOSE=${KWIN_COMPOSE:-Q}
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE DBUS_SESSION_BUS_ADDRESS

# KWin starts the session program once XWayland is up, with the session's
# environment; it takes one program, so the command goes in a script.
{
    # shellcheck disable=SC2016 # expanded in the session, not here
    printf '#!/usr/bin/env bash\nexport OGLON_KWIN_PID=$PPID\n'
    printf '%q ' "$@"
    printf '>%q 2>&1\necho $? >%q\n' "$work/output" "$work/status"
} >"$work/run"
chmod +x "$work/run"

setsid dbus-run-session -- "$work/kwin_wayland" --virtual --xwayland --width 1024 \
    --height 768 --no-lockscreen --no-global-shortcuts --no-kactivities \
    --exit-with-session "$work/run" >"$work/kwin.log" 2>&1 &
session_pid=$!
wait "$session_pid"
session_pid=
if [ ! -s "$work/status" ]; then
    echo "kwin-session: the session did not run to its end" >&2
    tail -n 20 "$work/kwin.log" >&2
    exit 1
fi
exit "$(cat "$work/status")"
