#!/usr/bin/env bash
# The style gate CI runs before building: every tracked C++ file formatted as
# .clang-format says, every tracked shell script clean under shellcheck.
# Usage: tools/check-style.sh   (clang-format -i FILE fixes a listed file)
# On Debian 12 only: see below.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0

# Each clang-format release lays out some lines differently, so the gate uses
# one: Debian 12's clang-format 14 (CI runs the gate there only).
format=clang-format-14
command -v "$format" >/dev/null || format=clang-format
if ! "$format" --version | grep -q ' version 14\.'; then
    echo "style: the gate formats with clang-format 14 (Debian 12's); this is: $("$format" --version)"
    exit 1
fi

unformatted=()
while read -r file; do
    [ -f "$file" ] || continue
    "$format" --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files '*.cpp' '*.h')
if [ ${#unformatted[@]} -gt 0 ]; then
    echo "Not formatted as .clang-format says (fix with: clang-format -i FILE):"
    for file in "${unformatted[@]}"; do
        echo "  $file"
        "$format" "$file" | diff -u "$file" - | sed -n '3,12s/^/    /p' || true
    done
    status=1
fi

# Shell scripts: *.sh, and anything else tracked that starts with a sh or bash
# line (such as .ci/run).
scripts=()
while read -r file; do
    [ -f "$file" ] || continue
    if [[ $file == *.sh ]] || head -n1 "$file" | grep -qE '^#!.*\b(ba)?sh\b'; then
        scripts+=("$file")
    fi
done < <(git ls-files)
if ! shellcheck "${scripts[@]}"; then
    echo "shellcheck found the above in tracked shell scripts."
    status=1
fi

[ $status -eq 0 ] && echo "style: ${#scripts[@]} shell scripts and every C++ file clean"
exit $status
