#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb, on a free display) under the
# openbox window manager, then ends both. Usage: xsession.sh COMMAND [ARGS...]
# OGLON_XVFB_ARGS replaces the screen setup (default: one 1024x768 screen).
set -u

work=$(mktemp -d)
xvfb_pid=
wm_pid=
cleanup() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wait_for() { # seconds, command...
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.05
    done
}

# shellcheck disable=SC2086
Xvfb -displayfd 3 -nolisten tcp -noreset ${OGLON_XVFB_ARGS:--screen 0 1024x768x24} \
    3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
if ! wait_for 20 grep -q . "$work/display"; then
    echo "xsession: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1
fi
display=$(head -n1 "$work/display")
export DISPLAY=":$display"

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
export DBUS_SESSION_BUS_ADDRESS=disabled:
unset WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE

# openbox as installed, less its desktop menus: a stray press on the empty
# desktop in a test must not open them.
mkdir -p "$XDG_CONFIG_HOME/openbox"
awk '/<context name="Root">/ { skip = 1 } !skip { print } skip && /<\/context>/ { skip = 0 }' \
    /etc/xdg/openbox/rc.xml >"$XDG_CONFIG_HOME/openbox/rc.xml"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
wm_ready() { xprop -root -notype _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
if ! wait_for 20 wm_ready; then
    echo "xsession: openbox did not start" >&2; cat "$work/openbox.log" >&2; exit 1
fi

export OGLON_WM_PID=$wm_pid OGLON_XVFB_PID=$xvfb_pid
"$@"
