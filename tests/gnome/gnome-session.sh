#!/usr/bin/env bash
# Runs a command in a private headless GNOME Shell session on Wayland: its own
# D-Bus session bus and a stand-in system bus, the shell on a virtual monitor
# with XWayland, a private runtime, config and home directory; then ends it
# all. Oglon's build is installed into that home first (cmake --install), so
# its Shell extensions are the user's, and enabled at start together with the
# tests' own extensions. Usage: gnome-session.sh BUILD_DIR COMMAND...
# The command sees DISPLAY (XWayland), WAYLAND_DISPLAY, XAUTHORITY, the bus,
# and OGLON_SHELL_PID; its output and exit status are the script's.
set -u

if [ "${1-}" = --inside ]; then
    # Within dbus-run-session: the shell, the command, and the end of both.
    shift
    work=$1
    shift
    system_bus=
    shell=
    # shellcheck disable=SC2317 # called by the trap
    stop() {
        [ -n "$shell" ] && kill "$shell" 2>/dev/null && wait "$shell" 2>/dev/null
        [ -n "$system_bus" ] && kill "$system_bus" 2>/dev/null
    }
    trap stop EXIT
    # Without a system bus the shell asks logind for the session and ends.
    dbus-daemon --session --nofork --print-address=1 >"$work/system-bus" &
    system_bus=$!
    for _ in $(seq 100); do [ -s "$work/system-bus" ] && break; sleep 0.1; done
    DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$work/system-bus")
    export DBUS_SYSTEM_BUS_ADDRESS
    gnome-shell --headless --wayland --virtual-monitor 1280x800 >"$work/shell.log" 2>&1 &
    shell=$!
    # Up once the shell is on the bus and XWayland is, which mutter says by
    # naming its display and writing its authority.
    display=
    for _ in $(seq 300); do
        display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/shell.log")
        auth=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name '.mutter-Xwaylandauth.*' | head -n1)
        owned=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.gnome.Shell 2>/dev/null)
        [ -n "$display" ] && [ -n "$auth" ] && [[ $owned == *true* ]] && break
        kill -0 "$shell" 2>/dev/null || break
        sleep 0.1
    done
    if [[ $owned != *true* ]] || [ -z "$display" ] || [ -z "$auth" ]; then
        echo "gnome-session: the shell did not start with XWayland" >&2
        exit 1
    fi
    export DISPLAY=$display XAUTHORITY=$auth WAYLAND_DISPLAY=wayland-0
    export XDG_SESSION_TYPE=wayland OGLON_SHELL_PID=$shell
    "$@" >"$work/output" 2>&1
    echo $? >"$work/status"
    exit 0
fi

build=${1:?usage: gnome-session.sh BUILD_DIR COMMAND...}
shift
work=$(mktemp -d)
session_pid=
# shellcheck disable=SC2317 # called by the trap
cleanup() {
    if [ -n "$session_pid" ] && kill -0 "$session_pid" 2>/dev/null; then
        kill -- -"$session_pid" 2>/dev/null
        wait "$session_pid" 2>/dev/null
    fi
    [ -f "$work/output" ] && cat "$work/output"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -m 700 "$work/runtime" "$work/config" "$work/home"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
export XDG_DATA_HOME="$work/home/.local/share" GSETTINGS_BACKEND=keyfile
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE DBUS_SESSION_BUS_ADDRESS XAUTHORITY
# Mutter puts XWayland's sockets there and wants it shared, as a system has it.
[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix

cmake --install "$build" --prefix "$work/home/.local" >/dev/null || exit 1
extensions=$XDG_DATA_HOME/gnome-shell/extensions
cp -r "$build"/tests/gnome-shell/extensions/. "$extensions"
uuids=$(find "$extensions" -mindepth 1 -maxdepth 1 -printf "'%f', " | sed 's/, $//')
mkdir -p "$work/config/glib-2.0/settings"
cat >"$work/config/glib-2.0/settings/keyfile" <<KEYFILE
[org/gnome/shell]
enabled-extensions=[$uuids]
disable-user-extensions=false
welcome-dialog-last-shown-version='999'
KEYFILE

setsid dbus-run-session -- "$0" --inside "$work" "$@" 2>"$work/session.log" &
session_pid=$!
wait "$session_pid"
session_pid=
if [ ! -s "$work/status" ]; then
    echo "gnome-session: the session did not run to its end" >&2
    tail -n 20 "$work/shell.log" "$work/session.log" >&2
    exit 1
fi
exit "$(cat "$work/status")"
