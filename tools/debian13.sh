#!/usr/bin/env bash
# Runs a command in the Debian 13 (trixie) root: tools/debian-root.sh 13.
# Usage: tools/debian13.sh COMMAND...
exec "$(dirname "$0")/debian-root.sh" 13 "$@"
