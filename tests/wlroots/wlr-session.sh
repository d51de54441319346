#!/usr/bin/env bash
# Runs a command in a private headless session of a compositor built on
# wlroots, sway or labwc: its own D-Bus session bus, one 1024x768 output with
# a plain background, XWayland, a virtual pointer kept for the whole session
# (a seat that never had a pointer refuses wl_seat.get_pointer, and XWayland
# has no pointer without one), a private runtime, config and home directory;
# then ends it all. Usage: wlr-session.sh sway|labwc COMMAND...
# OGLON_VIRTUAL_POINTER names the virtual-pointer client the tests build
# (tests/wlroots/virtual-pointer.c).
# The command sees WAYLAND_DISPLAY, DISPLAY (XWayland), the bus, SWAYSOCK
# under sway, OGLON_COMPOSITOR (sway or labwc), OGLON_COMPOSITOR_PID and
# OGLON_WLR_POINTER, a pipe to the session's pointer: writing "X Y" to it
# moves the pointer to that point of the layout. Its output and exit status
# are the script's.
set -u

compositor=${1-}
shift || true
if [ "$compositor" != sway ] && [ "$compositor" != labwc ] || [ $# -eq 0 ]; then
    echo "Usage: $0 sway|labwc COMMAND..." >&2
    exit 2
fi
command -v "$compositor" >/dev/null || { echo "wlr-session: no $compositor" >&2; exit 1; }
pointer=${OGLON_VIRTUAL_POINTER-}
[ -x "$pointer" ] || { echo "wlr-session: OGLON_VIRTUAL_POINTER names no program" >&2; exit 1; }

work=$(mktemp -d)
session_pid=
# shellcheck source=tools/end-session.sh
. "$(dirname "$0")/../../tools/end-session.sh"
export OGLON_SESSION=$work
# shellcheck disable=SC2317 # called by the trap
cleanup() {
    exec 3>&- 2>/dev/null
    if [ -n "$session_pid" ] && kill -0 "$session_pid" 2>/dev/null; then
        kill -- -"$session_pid" 2>/dev/null
        wait "$session_pid" 2>/dev/null
    fi
    end_session_processes "$work"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -m 700 "$work/runtime" "$work/config" "$work/home"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
export WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
export XDG_SESSION_TYPE=wayland

# The compositor runs this once it is up: it hands over the environment it
# gives its clients.
cat >"$work/ready" <<EOF
#!/bin/sh
env | grep -E '^(WAYLAND_DISPLAY|DISPLAY|SWAYSOCK|DBUS_SESSION_BUS_ADDRESS)=' >"$work/environment.new"
mv "$work/environment.new" "$work/environment"
EOF
chmod +x "$work/ready"
background=#3c6e8c
if [ "$compositor" = sway ]; then
    cat >"$work/sway.conf" <<EOF
output HEADLESS-1 mode 1024x768 position 0 0 bg $background solid_color
xwayland force
exec $work/ready
EOF
    setsid dbus-run-session -- sway --config "$work/sway.conf" >"$work/compositor.log" 2>&1 &
else
    mkdir "$work/labwc"
    cat >"$work/labwc/rc.xml" <<EOF
<?xml version="1.0"?>
<labwc_config>
  <core><xwaylandPersistence>yes</xwaylandPersistence></core>
  <!-- As the README tells users: labwc lets an X11 window stay on top only
       where a rule allows it. -->
  <windowRules><windowRule identifier="oglon" allowAlwaysOnTop="yes" /></windowRules>
</labwc_config>
EOF
    # labwc leaves the output's mode and the background to other programs.
    cat >"$work/labwc/autostart" <<EOF
wlr-randr --output HEADLESS-1 --custom-mode 1024x768 --pos 0,0
swaybg --color '$background' >/dev/null 2>&1 &
$work/ready
EOF
    setsid dbus-run-session -- labwc --config-dir "$work/labwc" >"$work/compositor.log" 2>&1 &
fi
session_pid=$!
for _ in $(seq 300); do
    [ -s "$work/environment" ] && break
    kill -0 "$session_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$work/environment" ]; then
    echo "wlr-session: $compositor did not start" >&2
    tail -n 20 "$work/compositor.log" >&2
    exit 1
fi
set -a
# shellcheck disable=SC1091 # made above
. "$work/environment"
set +a
export OGLON_COMPOSITOR=$compositor OGLON_COMPOSITOR_PID=$session_pid

# The session's pointer, reading moves from a pipe the session holds open.
mkfifo "$work/pointer"
exec 3<>"$work/pointer"
"$pointer" <"$work/pointer" >"$work/pointer.log" 2>&1 &
export OGLON_WLR_POINTER=$work/pointer
for _ in $(seq 100); do grep -q ready "$work/pointer.log" && break; sleep 0.1; done
# Up once XWayland answers: labwc starts it at the first X client.
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
if ! grep -q ready "$work/pointer.log" || ! xwininfo -root >/dev/null 2>&1; then
    echo "wlr-session: no virtual pointer or no XWayland under $compositor" >&2
    cat "$work/pointer.log" >&2
    tail -n 20 "$work/compositor.log" >&2
    exit 1
fi
# Where no window opens.
echo "2 2" >&3

"$@"
