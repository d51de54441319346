#!/usr/bin/env bash
# Memory over many openings of the About box. Starts Oglon on a private X
# server (tools/xsession.sh), opens the About box from the head's menu and
# closes it with Esc, ROUNDS times, and prints the resident memory and the
# malloc heap every 50 rounds. A leak shows as a steady rise; a one-time
# step early on is glibc keeping a freed backing store in its heap.
# Not a test: it asserts nothing.
#
#   bench/about-memory.sh [ROUNDS]      (default 300; about 0.35 s a round)
#
# BUILD_DIR names the build (default build/); QT_SCALE_FACTOR passes through.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" != --in-session ]; then
    build=$(cd "${BUILD_DIR:-$here/../build}" && pwd)
    exec "$here/../tools/xsession.sh" bash "$0" --in-session "$build/oglon" "${1:-300}"
fi
oglon=$2 rounds=$3

"$oglon" & pid=$!
trap 'kill $pid 2>/dev/null && wait $pid' EXIT
window() { xdotool search --all --onlyvisible --pid "$pid" --name "$1" 2>/dev/null; }
until head=$(window '^Oglon$'); do sleep 0.05; done
eval "$(xdotool getwindowgeometry --shell "$head")"
ratio=${QT_SCALE_FACTOR:-1}
crown=("$(awk -v x="$X" -v r="$ratio" 'BEGIN { print int(x + 45 * r) }')"
    "$(awk -v y="$Y" -v r="$ratio" 'BEGIN { print int(y + 12 * r) }')")

round() {
    xdotool mousemove "${crown[@]}" click 3
    until window '^About Oglon$' >/dev/null; do xdotool key a; sleep 0.02; done
    while about=$(window '^About Oglon$'); do
        xdotool windowactivate "$about" key Escape 2>/dev/null || true
        sleep 0.02
    done
}
memory() { # resident and heap, in kB
    awk '/^VmRSS/ { rss = $2 } END { printf "%s", rss }' "/proc/$pid/status"
    awk '/\[heap\]/ { heap = 1; next } /^[0-9a-f]+-/ { heap = 0 }
        heap && /^Rss:/ { kb += $2 } END { printf " %d\n", kb }' "/proc/$pid/smaps"
}

echo "| rounds | resident kB | heap kB |"
echo "|---|---|---|"
for ((i = 1; i <= rounds; i++)); do
    round
    if ((i % 50 == 0 || i == 1)); then
        read -r rss heap < <(memory)
        echo "| $i | $rss | $heap |"
    fi
done
