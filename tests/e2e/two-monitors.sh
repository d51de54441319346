#!/usr/bin/env bash
# Splits the X screen (2048x768) into two monitors side by side, the left one
# primary, then runs the command. Usage (inside xsession.sh): two-monitors.sh CMD...
set -euo pipefail
xrandr --setmonitor '*left' 1024/271x768/203+0+0 screen >/dev/null
xrandr --setmonitor right 1024/271x768/203+1024+0 none >/dev/null
exec "$@"
