#!/usr/bin/env bash
# Installs the Debian packages Oglon needs to build, run and test, when any
# of them is missing. This is the one list of them; other tools (the
# benchmark) name what they need beyond it as arguments: deps.sh [PACKAGE...]
set -euo pipefail

packages=(
    # build
    cmake g++ make pkgconf qt6-base-dev libxcb1-dev libxcb-shape0-dev libxcb-xinput-dev
    libxcb-sync-dev
    qt6-l10n-tools
    # run
    qt6-qpa-plugins libxcb-cursor0 fonts-dejavu-core xdg-utils
    # test: a private X server, a window manager, input and window inspection
    xvfb xauth openbox xdotool x11-utils x11-xserver-utils libxcb-record0-dev libxcb-res0-dev
    # test: a second, decorating window manager; a CJK font for the
    # Japanese and Chinese menus in screenshots
    fvwm fonts-wqy-microhei
    # test under Plasma Wayland: a headless KWin with XWayland on its own
    # session bus, a fake-input client, a native Qt Wayland window
    kwin-wayland xwayland dbus-daemon libwayland-dev plasma-wayland-protocols qt6-wayland
    # test under GNOME on Wayland: a headless GNOME Shell with XWayland, a
    # native GTK 4 window (Python's GObject bindings)
    gnome-shell mutter python3-gi gir1.2-gtk-4.0
    # the window managers of the end-to-end matrix
    icewm fluxbox xfwm4 metacity wmctrl
    # packaging checks
    dpkg-dev file desktop-file-utils appstream binutils-mingw-w64-x86-64 lintian
    # the Debian 13 root (tools/debian13.sh) and its private network
    debootstrap iproute2
    # style checks (tools/check-style.sh)
    clang-format shellcheck
    "$@"
)

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
