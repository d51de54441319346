#!/usr/bin/env bash
# Installs the Debian packages Oglon needs to build, run and test, when any
# of them is missing. This is the one list of them; other tools (the
# benchmark) name what they need beyond it as arguments: deps.sh [PACKAGE...]
set -euo pipefail

# The release decides the extras: the compositors built on wlroots only in
# the Debian 13 and 14 roots; the next release (forky) runs only the unit
# tests and the wlroots end-to-end test, so it gets no Plasma, GNOME, window
# manager matrix or packaging tools.
# shellcheck disable=SC1091 # the running system's
codename=$(. /etc/os-release && echo "${VERSION_CODENAME-}")

packages=(
    # build
    cmake g++ make pkgconf qt6-base-dev libxcb1-dev libxcb-shape0-dev libxcb-xinput-dev
    libxcb-sync-dev
    qt6-l10n-tools
    # run
    qt6-qpa-plugins libxcb-cursor0 fonts-dejavu-core xdg-utils
    # test: a private X server, a window manager, input and window inspection
    xvfb xauth openbox xdotool x11-utils x11-xserver-utils libxcb-record0-dev libxcb-res0-dev
    # test on Wayland: XWayland, a session bus, a native Qt Wayland window;
    # the Wayland client library and the protocols' XML
    xwayland dbus-daemon libwayland-dev wayland-protocols qt6-wayland
    "$@"
)
if [ "$codename" != forky ]; then
    packages+=(
        # test: a second, decorating window manager; a CJK font for the
        # Japanese and Chinese menus in screenshots
        fvwm fonts-wqy-microhei
        # test under Plasma Wayland: a headless KWin with XWayland, a
        # fake-input client (KWin's protocols)
        kwin-wayland plasma-wayland-protocols
        # test under GNOME on Wayland: a headless GNOME Shell with XWayland, a
        # native GTK 4 window (Python's GObject bindings)
        gnome-shell mutter python3-gi gir1.2-gtk-4.0
        # the window managers of the end-to-end matrix
        icewm fluxbox xfwm4 metacity wmctrl
        # packaging checks
        dpkg-dev file desktop-file-utils appstream binutils-mingw-w64-x86-64 lintian
        # the Debian 13 and 14 roots (tools/debian-root.sh) and their
        # private network
        debootstrap iproute2
        # style checks (tools/check-style.sh)
        clang-format shellcheck
    )
fi
if [ "$codename" = trixie ] || [ "$codename" = forky ]; then
    packages+=(
        # test under sway and labwc (tests/wlroots/): the compositors run
        # headless; pointer moves, output settings, screenshots
        sway labwc wlrctl wlr-randr grim swaybg
        # the virtual pointer protocol's XML, which Debian ships only with
        # the Rust crate of wlroots' protocols
        librust-wayland-protocols-wlr-dev
        # the roots' private network
        iproute2
    )
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
