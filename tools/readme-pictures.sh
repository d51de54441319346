#!/usr/bin/env bash
# Regenerates the README's pictures: docs/screenshot.png and docs/eyes.gif.
# Runs the built program on a private X server, moves the pointer round the
# head and photographs it. Needs Pillow (python3-pil) and xsetroot
# (x11-xserver-utils) besides the test packages; run ./test.sh or ./run.sh
# once first so that build/ (or $BUILD_DIR) holds the program.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ ! -x "$build/oglon" ] || [ ! -x "$build/screenshot" ]; then echo "build first: ./test.sh"; exit 1; fi
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT

# shellcheck disable=SC2016 # the inner shell expands these
tools/xsession.sh bash -c '
    set -e
    xsetroot -solid "#3b6e8f"
    "$2"/oglon & pid=$!
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "^Oglon\$" >/dev/null 2>&1 && break
        sleep 0.05
    done
    # Round the head on a circle, one photograph per step.
    for i in $(seq 0 35); do
        read -r x y < <(awk -v i="$i" "BEGIN { a = i * 3.14159265 / 18;
            printf \"%d %d\\n\", 512 + 150 * cos(a), 384 + 120 * sin(a) }")
        xdotool mousemove "$x" "$y"
        sleep 0.25
        "$2"/screenshot "$1/frame-$(printf %02d "$i")-$x-$y.png"
    done
    xdotool mousemove 640 290
    sleep 0.3
    "$2"/screenshot "$1/still-640-290.png"
    kill $pid' _ "$frames" "$build"

/usr/bin/python3 - "$frames" docs <<'PY'
import glob, os, sys
from PIL import Image, ImageDraw

frames_dir, out = sys.argv[1], sys.argv[2]
box = (332, 234, 692, 534)  # around the centred head on the 1024x768 screen

def arrow(image, x, y):
    """Draws a pointer: Xvfb's screenshots leave the real one out."""
    d = ImageDraw.Draw(image)
    shape = [(0, 0), (0, 17), (4, 13), (7, 20), (10, 19), (7, 12), (12, 12)]
    d.polygon([(x + px, y + py) for px, py in shape], fill="white", outline="black")

def frame(path):
    name = os.path.basename(path)[:-4].split("-")
    x, y = int(name[-2]), int(name[-1])
    image = Image.open(path).convert("RGB")
    arrow(image, x, y)
    return image.crop(box)

still = frame(glob.glob(f"{frames_dir}/still-*.png")[0])
still.save(f"{out}/screenshot.png", optimize=True)
shots = [frame(p).resize((270, 225), Image.LANCZOS) for p in sorted(glob.glob(f"{frames_dir}/frame-*.png"))]
shots[0].save(f"{out}/eyes.gif", save_all=True, append_images=shots[1:], duration=100, loop=0, optimize=True)
print("wrote", f"{out}/screenshot.png", f"{out}/eyes.gif")
PY
