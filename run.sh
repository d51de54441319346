#!/usr/bin/env bash
# Installs what is missing, builds Oglon and starts it.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel "$(nproc)" --target oglon

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/oglon "$@"
fi

# No display to show it on: run it on a virtual one and take a picture.
shot="$PWD/build/oglon-screenshot.png"
cmake --build build --parallel "$(nproc)" --target screenshot >/dev/null
echo "There is no X display here (DISPLAY is not set), so Oglon ran on a virtual one."
# shellcheck disable=SC2016 # the inner shell expands these
tools/xsession.sh bash -c '
    build/oglon & pid=$!
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^Oglon\$" >/dev/null 2>&1 && break
        sleep 0.05
    done
    xdotool mousemove 900 120
    sleep 0.5
    build/screenshot "$1"
    kill $pid' _ "$shot"
echo "Screenshot: $shot"
