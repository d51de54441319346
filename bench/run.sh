#!/usr/bin/env bash
# Benchmark: Oglon against the X.Org eyes demo (xeyes) on one private X server
# (Xvfb under openbox, from tools/xsession.sh). Not a test: it asserts
# nothing; it prints a Markdown table and writes it to bench/results.md.
#
#   bench/run.sh [ROUNDS]      (default 5; about ROUNDS x 2 x 110 s)
#
# Needs a built program: ./test.sh builds build/oglon; BUILD_DIR points
# elsewhere. Phase lengths can be shortened for a trial run with BENCH_STILL,
# BENCH_FAST, BENCH_MOVE and BENCH_SETTLE (seconds; defaults 30, 30, 30 and
# 2), BENCH_SAMPLES (motions from rest; default 20) and BENCH_WARPS (warps
# after a rest; default 8); BENCH_XTRACE=0 skips
# the decoded request excerpt; BENCH_OUT names the results file.
# BENCH_BEFORE names another build of oglon (say, of the commit before a
# change) to run in every round as well, in a column of its own, described
# by BENCH_BEFORE_LABEL.
#
# Each round starts each program once, one after the other (the order
# alternates between rounds), through bench/probe.cpp, which
#  - times the start: from fork/exec to the first MapNotify of the new
#    top-level window (SubstructureNotify on the root window);
#  - waits BENCH_SETTLE s, then keeps the pointer still for BENCH_STILL s,
#    then moves it along a circle (radius 200 px around the screen's centre,
#    one turn in 2 s) with XTEST relative motion, for BENCH_FAST s at 125
#    steps a second (a standard USB mouse) and for BENCH_MOVE s at 18; the
#    circle keeps clear of both windows;
#  - then, BENCH_SAMPLES times after 0.6 s at rest, moves the pointer in one
#    XTEST step from one side of the window to the other and times the first
#    drawing request that follows (RECORD); then BENCH_WARPS times, after 3 s
#    at rest and more, warps it across the window and times the same way;
#  - reads the CPU time of each phase from /proc/PID/stat (utime+stime, in
#    clock ticks) and /proc/PID/task/*/schedstat (nanoseconds, and how often
#    the threads ran: wake-ups), and memory from /proc/PID/status and
#    smaps_rollup at the end of the still phase;
#  - counts the program's X requests per phase and request type with the
#    server's RECORD extension.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

if [ "${1:-}" != --in-session ]; then
    rounds=${1:-5}
    case $rounds in '' | *[!0-9]* | 0) echo "usage: bench/run.sh [ROUNDS]" >&2; exit 2 ;; esac
    build=${BUILD_DIR:-$root/build}
    build=$(cd "$build" 2>/dev/null && pwd) || { echo "bench: no build directory $build; run ./test.sh first or set BUILD_DIR" >&2; exit 1; }
    [ -x "$build/oglon" ] || { echo "bench: $build/oglon is missing; run ./test.sh first or set BUILD_DIR" >&2; exit 1; }

    # What the benchmark needs beyond the project's own packages: the peer
    # program, the X libraries the probe is built against, xtrace.
    "$root/tools/deps.sh" libx11-dev libxtst-dev libxres-dev x11-apps procps xtrace

    probe="$build/bench/oglon-probe"
    if [ ! -x "$probe" ] || [ "$here/probe.cpp" -nt "$probe" ]; then
        mkdir -p "$build/bench"
        g++ -std=c++17 -O2 -Wall -Wextra -o "$probe" "$here/probe.cpp" -lX11 -lXtst -lXRes
    fi

    work=$(mktemp -d /tmp/oglon-bench.XXXXXX)
    trap 'rm -rf "$work"' EXIT
    before=${BENCH_BEFORE:-}
    [ -z "$before" ] || before=$(cd "$(dirname "$before")" && pwd)/$(basename "$before")
    export BENCH_ROUNDS=$rounds BENCH_BUILD=$build BENCH_PROBE=$probe BENCH_WORK=$work BENCH_BEFORE=$before
    "$root/tools/xsession.sh" bash "$here/run.sh" --in-session
    exit
fi

# ---- inside the private X session ---------------------------------------------

rounds=$BENCH_ROUNDS
work=$BENCH_WORK
probe=$BENCH_PROBE
oglon=$BENCH_BUILD/oglon
before=${BENCH_BEFORE:-}
still=${BENCH_STILL:-30}
move=${BENCH_MOVE:-30}
fast=${BENCH_FAST:-30}
samples=${BENCH_SAMPLES:-20}
warps=${BENCH_WARPS:-8}
settle=${BENCH_SETTLE:-2}
out=${BENCH_OUT:-$here/results.md}
# The X server is a child of xsession.sh, this script's parent.
server=
parent=$PPID
for _ in 1 2 3; do
    server=$(pgrep -P "$parent" -x Xvfb || true)
    [ -n "$server" ] && break
    parent=$(ps -o ppid= -p "$parent" | tr -d ' ')
done

measure() { # name round
    local name=$1 round=$2 cmd
    case $name in oglon) cmd=("$oglon") ;; before) cmd=("$before") ;; *) cmd=(xeyes) ;; esac
    echo "  round $round: $name" >&2
    "$probe" --settle "$settle" --still "$still" --fast "$fast" --move "$move" --samples "$samples" \
        --warps "$warps" \
        ${server:+--server-pid "$server"} \
        --out "$work/$name.$round" --requests "$work/$name.$round.req" -- "${cmd[@]}" \
        >"$work/$name.$round.log" 2>&1 || { echo "bench: $name failed:" >&2; cat "$work/$name.$round.log" >&2; exit 1; }
}

echo "bench: $rounds round(s) of oglon and xeyes on $DISPLAY, phases ${settle}+${still}+${fast}+${move} s and $samples motions from rest" >&2
# One start of each first, so that no round pays for a cold file cache.
for cmd in "$oglon" xeyes ${before:+"$before"}; do
    "$probe" --settle 0.5 --still 0.1 --fast 0.1 --move 0.1 --samples 1 --out /dev/null -- "$cmd" \
        >/dev/null 2>&1 || true
done
for round in $(seq 1 "$rounds"); do
    if [ $((round % 2)) -eq 1 ]; then order=(oglon xeyes); else order=(xeyes oglon); fi
    [ -z "$before" ] || order+=(before)
    for name in "${order[@]}"; do measure "$name" "$round"; done
done

# A decoded excerpt of oglon's requests: one more short run through xtrace.
xtrace_note=""
if [ "${BENCH_XTRACE:-1}" != 0 ] && command -v xtrace >/dev/null; then
    fake=
    for n in $(seq 90 199); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { fake=$n; break; }
    done
    echo "  xtrace excerpt (display :$fake)" >&2
    if [ -n "$fake" ] && "$probe" --settle 1 --still 5 --fast 2 --move 3 --samples 2 --out "$work/xtrace.keys" -- \
        xtrace -n -D ":$fake" -d "$DISPLAY" --monotonic-timestamps -o "$work/xtrace.log" -- "$oglon" \
        >"$work/xtrace.probe.log" 2>&1; then
        xtrace_note=yes
    fi
fi

# ---- statistics and the report ------------------------------------------------------

value() { # name round key
    sed -n "s/^$3=//p" "$work/$1.$2" | head -n1
}
# "median min max" of a key over the rounds; empty if no round has it.
stats() { # name key
    local r
    for r in $(seq 1 "$rounds"); do value "$1" "$r" "$2"; done | grep . | sort -g | awk '
        { v[NR] = $1 }
        END { if (NR == 0) exit
              m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
              print m, v[1], v[NR] }'
}
fmt() { # number decimals
    awk -v x="$1" -v d="$2" 'BEGIN { printf "%.*f", d, x }'
}
cell() { # name key decimals scale
    local s
    s=$(stats "$1" "$2")
    [ -n "$s" ] || { echo "—"; return; }
    # shellcheck disable=SC2086 # median, min and max as three words
    set -- $s "$3" "${4:-1}"
    if [ "$rounds" -gt 1 ]; then
        echo "$(fmt "$(awk -v a="$1" -v k="$5" 'BEGIN{print a*k}')" "$4") ($(fmt "$(awk -v a="$2" -v k="$5" 'BEGIN{print a*k}')" "$4")–$(fmt "$(awk -v a="$3" -v k="$5" 'BEGIN{print a*k}')" "$4"))"
    else
        fmt "$(awk -v a="$1" -v k="$5" 'BEGIN{print a*k}')" "$4"
    fi
}
ratio() { # key
    local a b
    a=$(stats oglon "$1" | cut -d' ' -f1)
    b=$(stats xeyes "$1" | cut -d' ' -f1)
    awk -v a="$a" -v b="$b" 'BEGIN { if (a == "" || b == "" || b + 0 == 0) print "—"; else printf "%.2f", a / b }'
}
row() { # label key decimals [scale] [target]
    local earlier=
    [ -z "$before" ] || earlier=" $(cell before "$2" "$3" "${4:-1}") |"
    echo "| $1 | $(cell oglon "$2" "$3" "${4:-1}") | $(cell xeyes "$2" "$3" "${4:-1}") | $(ratio "$2") |$earlier ${5:-} |"
}
# Mean count of each request per phase over the rounds, scaled to 30 s.
breakdown() { # name phase seconds
    local r
    for r in $(seq 1 "$rounds"); do cat "$work/$1.$r.req"; done | awk -v p="$2" -v n="$rounds" -v s="$3" '
        $1 == p { c[$2] += $3 }
        END { for (k in c) printf "%s %.1f\n", k, c[k] / n * 30 / s }' | sort -k2,2gr -k1,1 |
        awk '{ printf "%s%s ×%s", (NR > 1 ? ", " : ""), $1, $2 } END { if (NR == 0) printf "none" }'
}

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
qt=$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo '?')
apps=$(dpkg-query -W -f='${Version}' x11-apps 2>/dev/null || echo '?')
xvfb=$(dpkg-query -W -f='${Version}' xvfb 2>/dev/null || echo '?')
commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?')
[ -n "$(git -C "$root" status --porcelain -- src 2>/dev/null)" ] && commit="$commit + uncommitted changes in src/"

{
    echo "# Oglon against xeyes"
    echo
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) cores, $cpu, Linux $(uname -r); Qt $qt, xeyes from x11-apps $apps, Xvfb $xvfb (1024×768×24) under openbox; oglon $commit from \`${oglon/#$root\//}\`."
    echo
    echo "$rounds round(s); each cell is the median (min–max) over the rounds; the ratio is oglon's median over xeyes's. CPU is given per 30 s of each phase.${before:+ \"oglon before\" is ${BENCH_BEFORE_LABEL:-another build} (\`$before\`), run the same way in every round.}"
    echo
    if [ -n "$before" ]; then
        echo "| | oglon | xeyes | oglon/xeyes | oglon before | target |"
        echo "|---|---|---|---|---|---|"
    else
        echo "| | oglon | xeyes | oglon/xeyes | target |"
        echo "|---|---|---|---|---|"
    fi
    row "CPU, pointer still, ms per 30 s" still_cpu_ms 1 1 "≤ 10 ms"
    row "&nbsp;&nbsp;the same from utime+stime (10 ms ticks)" still_cpu_stat_ms 0
    row "X requests, pointer still, per 30 s" still_requests 0
    row "wake-ups per second, pointer still" still_wakeups_per_s 2 1 "≤ 1"
    row "CPU, pointer moving at 125 steps/s, ms per 30 s" fast_cpu_ms 1 1 "≤ 0.5× xeyes"
    row "CPU, pointer moving at 18 steps/s, ms per 30 s" move_cpu_ms 1 1 "≤ 1.3× xeyes"
    row "delay from motion (after a rest) to repaint, median, ms" delay_median_ms 1 1 "≤ 20 ms"
    row "&nbsp;&nbsp;95th percentile, ms" delay_p95_ms 1
    row "delay from each motion at 125 steps/s to the next repaint, median, ms" fast_delay_median_ms 1
    row "&nbsp;&nbsp;95th percentile, ms" fast_delay_p95_ms 1
    row "delay from a warp (after ${warps:-0} rests of 3 s or more) to repaint, median, ms" warp_median_ms 0
    row "&nbsp;&nbsp;the longest, ms" warp_max_ms 0 1 "about 2 s"
    row "start-up to mapped window, ms" startup_ms 1 1 "no worse than before"
    row "&nbsp;&nbsp;CPU until mapped, ms" startup_cpu_ms 1
    row "&nbsp;&nbsp;X requests until mapped" startup_requests 0
    row "resident memory (VmRSS) after ${still} s still, MB" rss_kb 1 0.001024 "no worse than before"
    row "&nbsp;&nbsp;own pages only (USS: private clean + dirty), MB" uss_kb 1 0.001024
    row "&nbsp;&nbsp;anonymous (heap, stacks), MB" rss_anon_kb 1 0.001024
    row "X requests per 30 s, moving at 125 steps/s" fast_requests 0
    row "X requests per 30 s, moving at 18 steps/s" move_requests 0
    row "X events received per 30 s, moving at 125 steps/s" fast_events 0
    if [ -n "$server" ]; then
        row "X server CPU, pointer still, ms per 30 s (whole server)" server_still_cpu_ms 1
        row "X server CPU, moving at 125 steps/s, ms per 30 s (whole server)" server_fast_cpu_ms 1
    fi
    echo
    echo "Requests by type, mean count per 30 s of the phase:"
    echo
    echo "| program | pointer still | moving, 125 steps/s | moving, 18 steps/s |"
    echo "|---|---|---|---|"
    for name in oglon xeyes ${before:+before}; do
        label=$name
        [ "$name" = before ] && label="oglon before"
        echo "| $label | $(breakdown "$name" still "$still") | $(breakdown "$name" fast "$fast") | $(breakdown "$name" moving "$move") |"
    done
    echo
    echo "Requests until the window was mapped (round 1):"
    echo
    for name in oglon xeyes; do
        echo "- $name: $(awk '$1 == "startup" { printf "%s%s ×%s", (n++ ? ", " : ""), $2, $3 }' "$work/$name.1.req")"
    done
    if [ -n "$xtrace_note" ]; then
        log=$work/xtrace.log
        t_still=$(sed -n 's/^t_still=//p' "$work/xtrace.keys")
        t_still_end=$(sed -n 's/^t_still_end=//p' "$work/xtrace.keys")
        t_move=$(sed -n 's/^t_move=//p' "$work/xtrace.keys")
        t_move_end=$(sed -n 's/^t_move_end=//p' "$work/xtrace.keys")
        # Requests are the lines marked ":<:"; the first field is the time.
        still_req=$(awk -v a="$t_still" -v b="$t_still_end" '$1 >= a && $1 < b && $2 ~ /:<:/' "$log" | wc -l)
        still_qp=$(awk -v a="$t_still" -v b="$t_still_end" '$1 >= a && $1 < b && $2 ~ /:<:/ && /QueryPointer/' "$log" | wc -l)
        echo
        echo "Cross-check through xtrace (one more oglon run: 5 s still, 2 s at 125 steps/s, 3 s at 18): in the still phase $still_req requests, of which $still_qp QueryPointer. The whole still phase and the first moving second at 18 steps/s as xtrace decodes them (long lines cut):"
        echo
        echo '```'
        awk -v a="$t_still" -v b="$t_still_end" '$1 >= a && $1 < b && $2 ~ /:[<>]:/' "$log" | cut -c1-150
        echo '...'
        awk -v a="$t_move" -v b="$t_move_end" '$1 >= a && $1 < a + 1 && $2 ~ /:[<>]:/' "$log" | cut -c1-150
        echo '```'
    fi
    echo
    echo "Method: \`bench/run.sh $rounds\`. Each program runs alone, one after the other on the same Xvfb; start-up is timed by \`bench/probe.cpp\` from fork/exec to the first MapNotify of the new top-level window (the window manager's frame) on the root window; after ${settle} s the pointer stays still for ${still} s, then the probe moves it along a circle of radius 200 px around the screen's centre with XTEST relative motion (what a mouse makes), ${fast} s at 125 steps a second and ${move} s at 18, clear of both windows; then $samples times, each after 0.6 s at rest, in one XTEST step from 100 px left of the window to 100 px right of it or back, and the delay runs from sending that step to the first drawing request (PutImage, CopyArea, fills, RENDER, Present) the program sends after it; the same delay is taken for every step at 125 a second; then $warps times, after 3 s at rest and 0.37 s more each time, the pointer is warped across the window (XWarpPointer, which no device reports) and the delay runs to the next drawing request in the same way, up to 5 s. CPU comes from /proc/PID/task/*/schedstat (run time of every thread, ns; wake-ups are how often the threads were scheduled in) and, as a check, /proc/PID/stat utime+stime (10 ms ticks), memory from /proc/PID/status and smaps_rollup at the end of the still phase (USS: the process's private clean and dirty pages), X requests and delivered events from the server's RECORD extension, attributed to the program's own connection by process id (X-Resource): nothing stands between the program and the server. X server CPU is the whole server's and includes the probe's motion."
} >"$out.tmp"
mv "$out.tmp" "$out"
cat "$out"
