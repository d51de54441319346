#!/usr/bin/env bash
# Under Plasma Wayland: how long Oglon takes from its start to KWin's first
# report on its head, and the CPU time Oglon, KWin and XWayland spend per
# BENCH_SECONDS (default 30) with the pointer still and with it moving over a
# native Wayland window (KWin's fake input, 125 steps a second along a circle
# clear of the head). Not a test: it asserts nothing and prints a table.
#
#   tests/kwin/kwin-session.sh bench/kwin-cpu.sh [BUILD_DIR] [ROUNDS]
#   tools/debian13.sh tests/kwin/kwin-session.sh bench/kwin-cpu.sh build-debian13
#
# The first runs under the host's KWin, the second under Debian 13's KWin 6.
# Oglon's CPU time is read from /proc/PID/task/*/schedstat (nanoseconds on a
# CPU; its threads live as long as it does), KWin's and XWayland's from
# /proc/PID/stat (10 ms ticks, but counting threads that have ended too).
set -euo pipefail
build=${1:-build}
rounds=${2:-3}
seconds=${BENCH_SECONDS:-30}
steps=$((seconds * 125))
kwin=${OGLON_KWIN_PID:?run this inside tests/kwin/kwin-session.sh}
oglon=

cpu_ms() {
    local total=0 file ns fields
    if [ -z "$1" ]; then
        echo 0 # no XWayland yet
    elif [ "$1" = "$oglon" ]; then
        for file in /proc/"$1"/task/*/schedstat; do
            read -r ns _ <"$file" 2>/dev/null && total=$((total + ns))
        done
        echo $((total / 1000000))
    else
        read -ra fields <"/proc/$1/stat"
        echo $(((fields[13] + fields[14]) * 1000 / $(getconf CLK_TCK)))
    fi
}

# KWin's XWayland, a child of KWin's.
xwayland() {
    local proc
    for proc in /proc/[0-9]*; do
        [ "$(cat "$proc/comm" 2>/dev/null)" = Xwayland ] || continue
        [ "$(cut -d' ' -f4 "$proc/stat")" = "$kwin" ] && basename "$proc"
    done
}

exec {pause}<> <(:)
wait_ms() { read -r -t "$(printf '0.%03d' "$1")" -u "$pause" _ || true; }

coproc FAKE { "$build/tests/fake-pointer"; }
move() {
    echo "$1 $2" >&"${FAKE[1]}"
    read -r _ <&"${FAKE[0]}"
}
mapfile -t circle < <(awk 'BEGIN { for (i = 0; i < 250; i++)
    printf "%d %d\n", 512 + 220 * cos(i * 6.2832 / 250), 384 + 220 * sin(i * 6.2832 / 250) }')

QT_QPA_PLATFORM=wayland "$build/tests/wayland-window" >/dev/null &
native=$!
move 100 100
wait_ms 900

# CPU of each process in $@ over one phase, pointer still or moving: "ms ms ..."
phase() {
    local mode=$1 before=() after=() pid i
    shift
    for pid in "$@"; do before+=("$(cpu_ms "$pid")"); done
    local start=$SECONDS
    if [ "$mode" = still ]; then
        sleep "$seconds"
    else
        local t0=${EPOCHREALTIME/./} late
        for ((i = 0; i < steps; i++)); do
            # shellcheck disable=SC2086 # "X Y"
            move ${circle[i % 250]}
            # 8 ms a step on average, whatever one step took.
            late=$((${EPOCHREALTIME/./} - t0 - (i + 1) * 8000))
            [ "$late" -ge -1000 ] || wait_ms $((-late / 1000))
        done
    fi
    for pid in "$@"; do after+=("$(cpu_ms "$pid")"); done
    for i in "${!before[@]}"; do printf '%s ' $((after[i] - before[i])); done
    [ "$mode" = still ] || printf '(%s steps/s)' $((steps / (SECONDS - start)))
}

xw=$(xwayland)
echo "KWin alone, per ${seconds} s: still (kwin xwayland ms): $(phase still "$kwin" "$xw")"
echo "KWin alone, per ${seconds} s: moving (kwin xwayland ms): $(phase move "$kwin" "$xw")"

for ((round = 1; round <= rounds; round++)); do
    log=$(mktemp)
    start=$(date +%s%N)
    "$build/oglon" 2>"$log" &
    oglon=$!
    until grep -q "pointer comes from KWin" "$log"; do
        if ! kill -0 "$oglon" 2>/dev/null || grep -q "pointer from the X server" "$log"; then
            echo "round $round: $(cat "$log")"
            exit 1
        fi
        wait_ms 5
    done
    first=$((($(date +%s%N) - start) / 1000000))
    wait_ms 999
    xw=$(xwayland)
    still=$(phase still "$oglon" "$kwin" "$xw")
    moving=$(phase move "$oglon" "$kwin" "$xw")
    echo "round $round: first report after $first ms;" \
        "per ${seconds} s (oglon kwin xwayland ms): still $still, moving $moving"
    kill "$oglon"
    wait "$oglon" || true
    rm -f "$log"
done
kill "$native"
