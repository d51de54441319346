#!/usr/bin/env bash
# Installs what is missing, builds Oglon and runs every test: unit, widget
# and end-to-end (on a private X server under openbox).
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel
cd build
ctest --output-on-failure "$@"
