#!/usr/bin/env bash
# Runs a command on a private X server (Xvfb, on a free display) under a
# window manager, then ends both. Usage: xsession.sh COMMAND [ARGS...]
# OGLON_XVFB_ARGS replaces the screen setup (default: one 1024x768 screen).
# OGLON_WM chooses the window manager: openbox (default), icewm, fluxbox,
# xfwm4, metacity, fvwm, kwin_x11 or none. Each runs with a private, minimal
# configuration: no desktop menus, panels or taskbars that a stray press in a
# test could open or that would take screen space.
set -u

work=$(mktemp -d)
xvfb_pid=
wm_pid=
# shellcheck source=tools/end-session.sh
. "$(dirname "$0")/end-session.sh"
export OGLON_SESSION=$work
# Asks a process to end, then insists: fluxbox can hang in its own handler
# of SIGTERM, and the session must end all the same.
stop() { # pid
    local tries=40
    kill "$1" 2>/dev/null || return 0
    while [ $tries -gt 0 ] && ps -o stat= -p "$1" | grep -qv Z; do
        sleep 0.05; tries=$((tries - 1))
    done
    kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}
cleanup() {
    [ -n "$wm_pid" ] && stop "$wm_pid"
    [ -n "$xvfb_pid" ] && stop "$xvfb_pid"
    # And whatever else the session started (xfwm4's bus and the
    # accessibility bus it starts; window managers a test started).
    end_session_processes "$work"
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

wm=${OGLON_WM:-openbox}
config=$XDG_CONFIG_HOME
case $wm in
openbox)
    # openbox as installed, less its desktop menus.
    mkdir -p "$config/openbox"
    awk '/<context name="Root">/ { skip = 1 } !skip { print } skip && /<\/context>/ { skip = 0 }' \
        /etc/xdg/openbox/rc.xml >"$config/openbox/rc.xml"
    wm_command=(openbox --sm-disable) ;;
icewm)
    mkdir -p "$HOME/.icewm"
    printf '%s\n' ShowTaskBar=0 DesktopWinMenuButton=0 DesktopWinListButton=0 \
        DesktopMenuButton=0 ShowPopupsAbovePointer=0 >"$HOME/.icewm/preferences"
    wm_command=(icewm --no-runonce) ;;
fluxbox)
    # fluxbox restores the last wallpaper (fbsetbg -z) at start and on every
    # change of screen size. With none remembered and no wallpaper setter
    # installed, that pops up a message window at a random moment, over the
    # screen's middle, and it takes the focus: remember a plain one, for
    # the display as fluxbox names it to its children too (":N.0").
    mkdir -p "$HOME/.fluxbox"
    : >"$HOME/.fluxbox/menu"
    : >"$HOME/.fluxbox/keys"
    printf 'fbsetroot|-solid black|plain|%s\n' ":$display" ":$display.0" \
        >"$HOME/.fluxbox/lastwallpaper"
    printf '%s\n' 'session.screen0.toolbar.visible: false' \
        "session.menuFile: $HOME/.fluxbox/menu" "session.keyFile: $HOME/.fluxbox/keys" \
        'session.screen0.defaultDeco: NORMAL' >"$HOME/.fluxbox/init"
    wm_command=(fluxbox -rc "$HOME/.fluxbox/init") ;;
xfwm4)
    # xfwm4 reads its settings over D-Bus: a bus of its own, for it alone.
    wm_command=(dbus-run-session -- xfwm4 --compositor=off --sm-client-disable) ;;
metacity)
    export GSETTINGS_BACKEND=memory
    wm_command=(metacity --sm-disable) ;;
fvwm)
    # The default look (every window decorated, ours too), without the root
    # menus and modules of the default configuration.
    printf '%s\n' 'Style * ClickToFocus, EWMHUseStackingOrderHints' 'Mouse 0 R A -' \
        >"$config/fvwm.config"
    wm_command=(fvwm -f "$config/fvwm.config") ;;
kwin_x11)
    export KDE_FULL_SESSION=
    wm_command=(kwin_x11 --replace) ;;
none)
    wm_command=() ;;
*)
    echo "xsession: unknown window manager '$wm'" >&2; exit 2 ;;
esac
wm_ready() { xprop -root -notype _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
if [ ${#wm_command[@]} -gt 0 ]; then
    "${wm_command[@]}" >"$work/wm.log" 2>&1 &
    wm_pid=$!
    if ! wait_for 30 wm_ready; then
        echo "xsession: $wm did not start" >&2; cat "$work/wm.log" >&2; exit 1
    fi
fi

export OGLON_WM=$wm OGLON_WM_PID=$wm_pid OGLON_XVFB_PID=$xvfb_pid
"$@"
