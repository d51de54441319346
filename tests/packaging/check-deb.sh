#!/usr/bin/env bash
# Builds the .deb, checks its metadata and contents, installs it with apt-get,
# runs the installed program and removes it again.
# Usage: check-deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mktemp -d)
installed=
cleanup() {
    [ -n "$installed" ] && apt-get remove -y -qq oglon >/dev/null 2>&1
    rm -rf "$out"
}
trap cleanup EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/oglon_*.deb)

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = oglon ]
[ "$(field Version)" = 1.00 ]
[ "$(field Section)" = x11 ]
[ -n "$(field Maintainer)" ]
field Description | grep -q 'eyes follow'
field Depends | grep -q libqt6widgets6
field Depends | grep -q qt6-qpa-plugins
field Recommends | grep -q xdg-utils
field Suggests | grep -q fonts-wqy-microhei

# Debian's policy as lintian knows it; what it still says is explained in
# the package's overrides, and no error may be among them.
if ! report=$(lintian --fail-on error,warning --display-info "$deb" 2>&1) ||
    ! errors=$(lintian --fail-on error --no-override "$deb" 2>&1); then
    echo "$report" "${errors:-}"
    exit 1
fi
grep -v 'root privileges' <<<"$report" || true

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in ./usr/bin/oglon ./usr/share/applications/org.oglon.Oglon.desktop \
    ./usr/share/metainfo/org.oglon.Oglon.metainfo.xml ./usr/share/man/man1/oglon.1.gz \
    ./usr/share/icons/hicolor/256x256/apps/oglon.png ./usr/share/doc/oglon/copyright \
    ./usr/share/doc/oglon/changelog.gz \
    ./usr/share/gnome-shell/extensions/oglon-pointer@oglon.org/extension.js \
    ./usr/share/gnome-shell/extensions/oglon-pointer-legacy@oglon.org/metadata.json; do
    grep -qx "$path" <<<"$contents" || { echo "missing from the package: $path"; exit 1; }
done

if [ "$(id -u)" -ne 0 ]; then
    echo "not root: package built and checked, install step skipped"
    exit 0
fi
if dpkg-query -W -f='${db:Status-Status}' oglon 2>/dev/null | grep -q installed; then
    echo "oglon is installed on this machine already: install step skipped"
    exit 0
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
installed=yes
[ "$(/usr/bin/oglon --version)" = "Oglon Chromule 1.00" ]
apt-get remove -y -qq oglon >/dev/null
installed=
if command -v oglon >/dev/null; then echo "oglon is still there after removal"; exit 1; fi
echo "package check passed"
