#!/usr/bin/env bash
# Runs a command in a Debian root of the given release: made once with
# debootstrap into a cache outside the work tree, then reused. Every call
# first installs into it what tools/deps.sh lists, then runs the command
# there, in the current directory, with this repository at the path it has
# here.
# Usage: tools/debian-root.sh RELEASE COMMAND...
#   RELEASE: 13 (trixie) or 14 (forky, the next one)
# The root lives in /var/cache/oglon/debianRELEASE, or where
# OGLON_DEBIANRELEASE_ROOT says (OGLON_DEBIAN13_ROOT, OGLON_DEBIAN14_ROOT);
# delete that folder to start afresh. Needs root.
#
# Every mount (/proc, /sys, /dev, /dev/pts, /dev/shm, a private /tmp and /run,
# the repository) is made inside a private mount namespace and a private PID
# namespace: nothing is ever mounted on the host, and the kernel takes it all
# down, with every process left inside, however the run ends. Deleting the
# cache can therefore never reach the host's /dev. The command also gets a
# network namespace of its own with only loopback, so X servers, compositors
# and D-Bus buses in it never clash with the host's.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
self=$repo/tools/debian-root.sh
release=${1-}
case $release in
13) suite=trixie ;;
14) suite=forky ;;
*)
    echo "Usage: $0 13|14 COMMAND..." >&2
    exit 2
    ;;
esac
shift
root_variable=OGLON_DEBIAN${release}_ROOT
root=${!root_variable:-/var/cache/oglon/debian$release}
mirror=${OGLON_DEBIAN_MIRROR:-${OGLON_DEBIAN13_MIRROR:-http://deb.debian.org/debian}}

say() { echo "debian$release: $*" >&2; }

# Inside the namespaces (called by this script itself): mounts, then runs the
# rest of the arguments in the root from directory $1.
if [ "${1-}" = --inside ]; then
    # Only as the first process of the namespaces in_root makes: never on
    # the host's own mounts.
    [ $$ -eq 1 ] || { say "--inside is for the script's own use"; exit 2; }
    directory=$2
    shift 2
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount --bind /dev/shm "$root/dev/shm"
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
    mount -t tmpfs -o mode=755 tmpfs "$root/run"
    # What a booting system makes in /tmp for X servers and their clients.
    mkdir -m 1777 "$root/tmp/.X11-unix" "$root/tmp/.ICE-unix"
    mkdir -p "$root$repo"
    mount --bind "$repo" "$root$repo"
    [ -z "${OGLON_DEBIAN_NET-}" ] || chroot "$root" ip link set lo up
    trap 'exit 130' INT TERM
    status=0
    # shellcheck disable=SC2016 # the inner shell expands these
    env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u DBUS_SESSION_BUS_ADDRESS \
        -u OGLON_DEBIAN_NET \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        chroot "$root" /bin/sh -c 'cd "$1" && shift && exec "$@"' sh "$directory" "$@" ||
        status=$?
    # The namespaces' end undoes the mounts anyway; this keeps the order tidy.
    umount -R "$root$repo" "$root/run" "$root/tmp" "$root/dev" "$root/sys" "$root/proc" \
        2>/dev/null || true
    exit $status
fi

if [ $# -eq 0 ]; then
    echo "Usage: $0 13|14 COMMAND..." >&2
    exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
    say "cannot make or enter the Debian $release root: this needs root"
    exit 1
fi

# Runs its arguments in the root inside fresh mount and PID namespaces; with
# OGLON_DEBIAN_NET set, in a fresh network namespace too.
in_root() {
    local namespaces=(--mount --propagation private --pid --fork --kill-child)
    [ -z "${OGLON_DEBIAN_NET-}" ] || namespaces+=(--net)
    export "$root_variable=$root"
    unshare "${namespaces[@]}" -- "$self" "$release" --inside "$PWD" "$@"
}

make_root() {
    local log=$root.log script=()
    if ! command -v debootstrap >/dev/null; then
        say "cannot make the Debian $release root in $root: debootstrap is not installed (tools/deps.sh)"
        exit 1
    fi
    # An older debootstrap does not know the next release yet; it is made
    # as unstable is.
    [ -e "/usr/share/debootstrap/scripts/$suite" ] || script=(/usr/share/debootstrap/scripts/sid)
    rm -rf "$root.new"
    # In a private mount namespace: the /proc and /dev debootstrap mounts in
    # the new root go with it, even if it fails half-way.
    if ! unshare --mount --propagation private -- \
        debootstrap --variant=minbase "$suite" "$root.new" "$mirror" "${script[@]}" \
        >"$log" 2>&1; then
        say "cannot make the Debian $release root in $root: debootstrap failed ($(tail -n 1 "$log"); see $log)"
        rm -rf "$root.new"
        exit 1
    fi
    # Packages' scripts start no services in the root.
    printf '#!/bin/sh\nexit 101\n' >"$root.new/usr/sbin/policy-rc.d"
    chmod +x "$root.new/usr/sbin/policy-rc.d"
    mv "$root.new" "$root"
}

mkdir -p "$(dirname "$root")"
# One caller at a time makes the root or installs into it.
exec 9>"$root.lock"
flock 9
[ -d "$root" ] || make_root
cp /etc/resolv.conf "$root/etc/resolv.conf"
# A release still in the making may carry a Release file that reads as
# expired against this machine's clock.
[ "$suite" = trixie ] ||
    echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99oglon-valid-until"
deps_log=$root.deps.log
if ! in_root "$repo/tools/deps.sh" >"$deps_log" 2>&1; then
    say "cannot install tools/deps.sh's packages in $root ($(tail -n 1 "$deps_log"); see $deps_log)"
    exit 1
fi
flock -u 9
exec 9>&-

export "$root_variable=$root" OGLON_DEBIAN_NET=1
exec unshare --mount --propagation private --pid --fork --kill-child --net -- \
    "$self" "$release" --inside "$PWD" "$@"
