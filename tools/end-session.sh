#!/usr/bin/env bash
# Sourced by the session scripts (tools/xsession.sh, tests/kwin/kwin-session.sh).
# A session marks itself with OGLON_SESSION=<its private directory> in the
# environment, which every process it starts inherits, whoever starts it: a
# window manager's D-Bus, the services that bus starts, programs a test
# starts and leaves. end_session_processes ends them all: asked first, then
# killed. The session's own shell does not carry the mark (its environment
# was set when it started), so it is not among them.

# The process ids carrying the mark of the session in $1.
session_processes() {
    grep -lzx -- "OGLON_SESSION=$1" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3
}

end_session_processes() { # marker
    local pids tries=40
    pids=$(session_processes "$1")
    [ -n "$pids" ] || return 0
    # shellcheck disable=SC2086 # one id a word
    kill $pids 2>/dev/null
    while [ $tries -gt 0 ] && [ -n "$(session_processes "$1")" ]; do
        sleep 0.05; tries=$((tries - 1))
    done
    pids=$(session_processes "$1")
    # shellcheck disable=SC2086
    [ -z "$pids" ] || kill -KILL $pids 2>/dev/null
}
