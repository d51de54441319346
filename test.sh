#!/usr/bin/env bash
# Installs what is missing, builds Oglon and runs every test: unit, widget,
# end-to-end (on a private X server under openbox) and packaging; then the
# unit, widget and end-to-end suites once more in a build with
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh

# Warnings are errors here, so none creep in.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOGLON_WERROR=ON >/dev/null
cmake --build build --parallel "$(nproc)"
(cd build && ctest --output-on-failure "$@")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DOGLON_SANITIZE=ON -DOGLON_WERROR=ON >/dev/null
cmake --build build-sanitize --parallel "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:exitcode=86
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=87
(cd build-sanitize && ctest --output-on-failure -L 'unit|widget|e2e' "$@")
