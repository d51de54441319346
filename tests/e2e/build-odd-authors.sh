#!/usr/bin/env bash
# Builds the program once more with the author details of odd-authors.txt,
# full of characters that a shell or a URL would trip over, for the
# link-safety test. Usage: build-odd-authors.sh SOURCE_DIR BUILD_DIR [cmake args]
set -euo pipefail
source=$1 build=$2
shift 2
mapfile -t author <"$source/tests/e2e/odd-authors.txt"
cmake -S "$source" -B "$build" -DBUILD_TESTING=OFF "-DOGLON_AUTHOR_NAME=${author[0]}" \
    "-DOGLON_AUTHOR_EMAIL=${author[1]}" "-DOGLON_AUTHOR_HOMEPAGE=${author[2]}" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target oglon >/dev/null
