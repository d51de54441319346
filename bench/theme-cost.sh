#!/usr/bin/env bash
# What following the desktop's look costs: Oglon started on one private X
# server (tools/xsession.sh) as under a desktop with a platform theme (GNOME:
# Qt loads its GTK 3 theme, qt6-gtk-platformtheme) and with Qt's built-in
# theme alone (QT_QPA_PLATFORMTHEME=generic, what a bare window manager
# gives). Not a test: it prints medians (min-max) over the rounds.
#
#   bench/theme-cost.sh [ROUNDS]     (default 7; about 2 x ROUNDS x 4 s)
#
# Start-up: from just before exec to the first window mapped on the screen
# after it (MapNotify on the root window, as xev reports it). Memory after
# 3 s: VmRSS, and USS (pages no other process shares) from
# /proc/PID/smaps_rollup.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD_DIR:-$root/build}

if [ "${1:-}" != --in-session ]; then
    rounds=${1:-7}
    case $rounds in '' | *[!0-9]* | 0) echo "usage: bench/theme-cost.sh [ROUNDS]" >&2; exit 2 ;; esac
    [ -x "$build/oglon" ] || { echo "theme-cost: no $build/oglon; run ./test.sh first" >&2; exit 1; }
    "$root/tools/deps.sh" qt6-gtk-platformtheme
    exec "$root/tools/xsession.sh" "$0" --in-session "$rounds"
fi
rounds=$2

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# One start: prints "startup_ms rss_kb uss_kb theme_loaded".
measure() {
    local events="$results/events" start pid line
    rm -f "$events"
    mkfifo "$events"
    xev -root -event substructure >"$events" &
    local xev=$!
    exec 4<"$events"
    start=$(now_ms)
    env "$@" "$build/oglon" 2>/dev/null &
    pid=$!
    while IFS= read -r line <&4; do
        [[ $line == MapNotify* ]] && break
    done
    local startup=$(($(now_ms) - start))
    kill "$xev"
    exec 4<&-
    wait "$xev" 2>/dev/null || true
    sleep 3
    local rss uss theme=no
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
    uss=$(awk '/^Private_(Clean|Dirty):/ { sum += $2 } END { print sum }' "/proc/$pid/smaps_rollup")
    grep -q libqgtk3 "/proc/$pid/maps" && theme=yes
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$startup $rss $uss $theme"
}

# Median and range of a column of numbers.
summary() { # scale (1 or 1024)
    sort -n | awk -v s="$1" '{ v[NR] = $1 / s } END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%.1f (%.1f-%.1f)", m, v[1], v[NR] }'
}

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
# shellcheck disable=SC2034 # used through the name reference below
gnome=(XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_DESKTOP=gnome)
# shellcheck disable=SC2034
plain=(QT_QPA_PLATFORMTHEME=generic)
for ((round = 1; round <= rounds; ++round)); do
    # The order alternates so that neither always starts on a warm cache.
    if ((round % 2)); then order=(gnome plain); else order=(plain gnome); fi
    for name in "${order[@]}"; do
        declare -n vars=$name
        measure "${vars[@]}" >>"$results/$name"
    done
done

if grep -q ' no$' "$results/gnome" || grep -q ' yes$' "$results/plain"; then
    echo "theme-cost: the GTK theme was not loaded as intended" >&2
    exit 1
fi
echo "| $rounds rounds, median (min-max) | platform theme (GTK 3) | Qt's own | difference |"
echo "|---|---|---|---|"
row() { # title column scale
    local a b
    a=$(awk -v c="$2" '{ print $c }' "$results/gnome" | summary "$3")
    b=$(awk -v c="$2" '{ print $c }' "$results/plain" | summary "$3")
    echo "| $1 | $a | $b | $(awk -v a="${a%% *}" -v b="${b%% *}" 'BEGIN { printf "%+.1f", a - b }') |"
}
row "start-up to mapped window, ms" 1 1
row "resident memory (VmRSS), MB" 2 1024
row "unshared memory (USS), MB" 3 1024
