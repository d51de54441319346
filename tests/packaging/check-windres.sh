#!/usr/bin/env bash
# Compiles the generated Windows resource script (version record and icon)
# so that it cannot rot while no Windows build runs here.
# Usage: check-windres.sh BUILD_DIR
set -euo pipefail
rc=$1/generated/oglon.rc
out=$(mktemp)
trap 'rm -f "$out"' EXIT
x86_64-w64-mingw32-windres --preprocessor=cpp --preprocessor-arg=-xc-header \
    -i "$rc" -O coff -o "$out"
# The compiled record holds its strings in UTF-16.
for text in "Oglon Chromule" "040904B0" "1.00" "It comes up on your desktop"; do
    iconv -f UTF-16LE -t UTF-8 <"$out" 2>/dev/null | grep -aq "$text" ||
        strings -el "$out" | grep -q "$text" || { echo "missing from the resource: $text"; exit 1; }
done
echo "resource script compiles"
