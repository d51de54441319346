#!/usr/bin/env bash
# Under Plasma Wayland or GNOME on Wayland: what the compositor (KWin, GNOME
# Shell) spends while the pointer moves, and how much of that the pointer's
# reporting adds. The pointer goes around a circle clear of the head, over a
# native Wayland window, one turn a second, at 125 steps a second (a standard
# mouse) and at 1,000 (a gaming mouse), BENCH_SECONDS (default 30) each, after
# BENCH_STILL s (default 5) with the pointer still, in each of these cases:
#   none    the native window alone
#   window  the sink's window, taking no reports: one more small X11 window
#   sink    bench/report-sink.cpp: Oglon's own source loads KWin's script or
#           subscribes to the Shell extension and takes the reports, and
#           nothing is drawn: what the reporting costs
#   oglon   Oglon: the reporting and the pupils' drawing
# KWin's fake input moves KWin's pointer (tests/kwin/fake-pointer.c); GNOME
# Shell's is moved from outside the shell through mutter's remote desktop
# (bench/shell-mover.py).
# BENCH_BEFORE names another build (say, of the commit before a change) whose
# sink and Oglon run as well, as sink@before and oglon@before; BENCH_CASES
# chooses among the first four. Each round runs
# every case once, in an order turned by one each round. Not a test: it
# asserts nothing and prints a table of medians (min-max) over the rounds.
#
#   tests/kwin/kwin-session.sh bench/compositor-cpu.sh [BUILD_DIR] [ROUNDS]
#   tests/gnome/gnome-session.sh build bench/compositor-cpu.sh [BUILD_DIR] [ROUNDS]
#   tools/debian13.sh tests/kwin/kwin-session.sh bench/compositor-cpu.sh build-debian13
#
# Under the host's KWin 5.27 and GNOME 43, or Debian 13's KWin 6.3 and GNOME
# 48. The compositor's and XWayland's CPU time comes from /proc/PID/stat (10 ms ticks,
# threads that ended included), the subscriber's from its threads'
# /proc/PID/task/*/schedstat (nanoseconds). Builds the sink where missing.
set -euo pipefail
build=${1:-build}
rounds=${2:-3}
seconds=${BENCH_SECONDS:-30}
still=${BENCH_STILL:-5}
before=${BENCH_BEFORE:-}
here=$(cd "$(dirname "$0")" && pwd)
if [ -n "${OGLON_KWIN_PID-}" ]; then
    compositor=$OGLON_KWIN_PID label=KWin package=kwin-wayland
    centre=(512 384) # of KWin's 1024 x 768 virtual screen
elif [ -n "${OGLON_SHELL_PID-}" ]; then
    compositor=$OGLON_SHELL_PID label="GNOME Shell" package=gnome-shell
    centre=(640 400) # of the shell's 1280 x 800 virtual monitor
else
    echo "run this in tests/kwin/kwin-session.sh or tests/gnome/gnome-session.sh" >&2
    exit 2
fi

for dir in "$build" $before; do
    [ -x "$dir/oglon-report-sink" ] \
        || cmake --build "$dir" --target oglon-report-sink >/dev/null
done

cpu_ms() {
    local total=0 file ns fields
    if [ -z "$1" ]; then
        echo 0
    elif [ "${2-}" = threads ]; then
        for file in /proc/"$1"/task/*/schedstat; do
            read -r ns _ <"$file" 2>/dev/null && total=$((total + ns))
        done
        echo $((total / 1000000))
    else
        read -ra fields <"/proc/$1/stat"
        echo $(((fields[13] + fields[14]) * 1000 / $(getconf CLK_TCK)))
    fi
}

# The compositor's XWayland, a child of the compositor's.
xwayland() {
    local proc
    for proc in /proc/[0-9]*; do
        [ "$(cat "$proc/comm" 2>/dev/null)" = Xwayland ] || continue
        [ "$(cut -d' ' -f4 "$proc/stat")" = "$compositor" ] && basename "$proc"
    done
}

# The test extension, for what it alone can do under GNOME Shell.
test_pointer() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/oglon/TestPointer \
        --method "org.oglon.TestPointer.$1" "${@:2}"
}

if [ "$label" = KWin ]; then
    coproc MOVER { "$build/tests/fake-pointer"; }
    QT_QPA_PLATFORM=wayland "$build/tests/wayland-window" >/dev/null &
    native=$!
else
    # The overview the shell opens at start would be beneath the pointer.
    until [[ $(test_pointer HideOverview 2>/dev/null) == *true* ]]; do sleep 0.2; done
    coproc MOVER { "$here/shell-mover.py"; }
    GDK_BACKEND=wayland GTK_A11Y=none "$here/../tests/gnome/gtk-window.py" >/dev/null &
    native=$!
fi
read -r _ <&"${MOVER[0]}" # ready
# To the circle's start, where relative motion begins too, and around it.
to_start() {
    local start=$((centre[0] + 220))
    if [ "$label" = KWin ]; then
        echo "$start ${centre[1]}" >&"${MOVER[1]}"
        read -r _ <&"${MOVER[0]}"
    else
        test_pointer Move "$start.0" "${centre[1]}.0" >/dev/null
    fi
    sleep 0.5
}
circle() {
    echo "circle ${centre[*]} 220 $1 $seconds" >&"${MOVER[1]}"
    read -r _ <&"${MOVER[0]}"
}
sleep 1

# Starts the subscriber of case $1 in the background; its pid in $subscriber.
subscriber=
start_case() {
    local program dir=$build log
    case $1 in
    none) subscriber= && return ;;
    *@before) dir=$before ;;
    esac
    case $1 in
    window)
        "$dir/oglon-report-sink" --window-only &
        subscriber=$!
        return
        ;;
    sink*) program=$dir/oglon-report-sink ;;
    oglon*) program=$dir/oglon ;;
    esac
    log=$(mktemp)
    "$program" 2>"$log" &
    subscriber=$!
    # A compositor kept busy may answer late: the program tries again.
    local deadline=$((SECONDS + 60))
    until grep -q "pointer comes from" "$log"; do
        if ! kill -0 "$subscriber" 2>/dev/null || [ $SECONDS -gt $deadline ]; then
            echo "$1: $(cat "$log")" >&2
            exit 1
        fi
        sleep 0.01
    done
    rm -f "$log"
}

# CPU of the compositor, XWayland and the subscriber over one phase, and the
# phase's length: "compositor xwayland subscriber ms".
phase() {
    local xw first=() last=() t0
    [ "$1" = still ] || to_start
    xw=$(xwayland)
    first=("$(cpu_ms "$compositor")" "$(cpu_ms "$xw")" "$(cpu_ms "$subscriber" threads)")
    t0=${EPOCHREALTIME/./}
    if [ "$1" = still ]; then
        sleep "$still"
    else
        circle "$1"
    fi
    last=("$(cpu_ms "$compositor")" "$(cpu_ms "$xw")" "$(cpu_ms "$subscriber" threads)")
    echo $((last[0] - first[0])) $((last[1] - first[1])) $((last[2] - first[2])) \
        $(((${EPOCHREALTIME/./} - t0) / 1000))
}

read -ra cases <<<"${BENCH_CASES:-none window sink oglon}"
[ -z "$before" ] || cases+=(sink@before oglon@before)
phases=(still 125 1000)
results=$(mktemp)
for ((round = 0; round < rounds; round++)); do
    for ((i = 0; i < ${#cases[@]}; i++)); do
        case=${cases[(i + round) % ${#cases[@]}]}
        start_case "$case"
        sleep 1
        for p in "${phases[@]}"; do
            # shellcheck disable=SC2046 # three numbers
            set -- $(phase "$p")
            echo "$case $p $1 $2 $3" >>"$results"
            echo "round $((round + 1)), $case, $p: compositor $1 ms, xwayland $2 ms," \
                "subscriber $3 ms over $4 ms; load $(cut -d' ' -f1-3 /proc/loadavg)"
            sleep 1 # the script's reading stops
        done
        if [ -n "$subscriber" ]; then
            kill "$subscriber"
            wait "$subscriber" || true
        fi
    done
done
kill "$native"

echo
echo "$label $(dpkg-query -W -f '${Version}' "$package" 2>/dev/null), $rounds round(s), ms of CPU per $seconds s moving ($still s still)," \
    "median (min-max); +% is the compositor's median over the case none's"
echo
echo "| case | pointer | $label | $label +% | XWayland | subscriber |"
echo "|---|---|---|---|---|---|"
for p in "${phases[@]}"; do
    for case in "${cases[@]}"; do
        awk -v name="$case" -v p="$p" '
            function stat(col,   n, i, j, t, v) {
                n = 0
                for (i = 1; i <= rows; i++) v[++n] = val[i, col]
                for (i = 1; i <= n; i++)
                    for (j = i + 1; j <= n; j++)
                        if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
                med[col] = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
                return sprintf("%g (%g-%g)", med[col], v[1], v[n])
            }
            $2 == p && $1 == "none" { base[++nb] = $3 }
            $2 == p && $1 == name { rows++; val[rows, 3] = $3; val[rows, 4] = $4; val[rows, 5] = $5 }
            END {
                for (i = 1; i <= nb; i++)
                    for (j = i + 1; j <= nb; j++)
                        if (base[j] < base[i]) { t = base[i]; base[i] = base[j]; base[j] = t }
                b = nb % 2 ? base[(nb + 1) / 2] : (base[nb / 2] + base[nb / 2 + 1]) / 2
                k = stat(3)
                pct = b > 0 ? sprintf("%+.0f %%", 100 * (med[3] - b) / b) : "-"
                printf "| %s | %s | %s | %s | %s | %s |\n", name,
                    p == "still" ? "still" : p " steps/s", k, pct, stat(4), stat(5)
            }' "$results"
    done
done
rm -f "$results"
