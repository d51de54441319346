#!/usr/bin/env bash
# Swaps openbox for fvwm, a window manager with other frames and its own idea
# of placement, and splits the X screen (2048x768) into two monitors side by
# side, the left one primary; then runs the command.
# Usage (inside xsession.sh): fvwm-two-monitors.sh CMD...
set -euo pipefail
old=$(xprop -root -notype _NET_SUPPORTING_WM_CHECK)
kill "$OGLON_WM_PID"
# Frames as the program asks for them (none for the head), focus on click.
config=$(mktemp)
echo 'Style * MwmDecor, MwmFunctions, ClickToFocus' >"$config"
fvwm -f "$config" >/dev/null 2>&1 &
deadline=$((SECONDS + 20))
until now=$(xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null) &&
    [ -n "$now" ] && [ "$now" != "$old" ] && xprop -root -notype _NET_SUPPORTED | grep -q _NET_FRAME_EXTENTS; do
    [ $SECONDS -ge $deadline ] && { echo "fvwm did not start" >&2; exit 1; }
    sleep 0.05
done
xrandr --setmonitor '*left' 1024/271x768/203+0+0 screen >/dev/null
xrandr --setmonitor right 1024/271x768/203+1024+0 none >/dev/null
exec "$@"
