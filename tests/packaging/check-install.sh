#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there:
# the file list, the desktop entry, the AppStream metainfo, the icon sizes.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$prefix"

sizes="16 22 24 32 48 64 128 256"
expected=$( {
    echo bin/oglon
    echo share/applications/org.oglon.Oglon.desktop
    echo share/metainfo/org.oglon.Oglon.metainfo.xml
    echo share/man/man1/oglon.1.gz
    echo share/doc/oglon/copyright
    echo share/doc/oglon/changelog.gz
    echo share/lintian/overrides/oglon
    for n in $sizes; do echo "share/icons/hicolor/${n}x${n}/apps/oglon.png"; done
    for uuid in oglon-pointer@oglon.org oglon-pointer-legacy@oglon.org; do
        echo "share/gnome-shell/extensions/$uuid/extension.js"
        echo "share/gnome-shell/extensions/$uuid/metadata.json"
    done
} | sort)
actual=$(find . -type f | sed 's|^\./||' | sort)
if [ "$actual" != "$expected" ]; then
    echo "installed files differ from the expected list:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi

desktop-file-validate share/applications/org.oglon.Oglon.desktop
grep -qx 'Comment=It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.' \
    share/applications/org.oglon.Oglon.desktop
appstreamcli validate --no-net --pedantic share/metainfo/org.oglon.Oglon.metainfo.xml
# The menu entry and the software centre's summary in every language.
for language in de fr es it pt_BR ru pl ja zh_CN; do
    grep -q "^Comment\[$language\]=." share/applications/org.oglon.Oglon.desktop
    grep -q "<summary xml:lang=\"$language\">" share/metainfo/org.oglon.Oglon.metainfo.xml
done

# A PNG's width and height are big-endian words at bytes 16 and 20.
for n in $sizes; do
    read -r w h < <(od -An -tu1 -j16 -N8 "share/icons/hicolor/${n}x${n}/apps/oglon.png" |
        awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
    if [ "$w" != "$n" ] || [ "$h" != "$n" ]; then echo "icon ${n}x${n} is ${w}x${h}"; exit 1; fi
done

# The GNOME Shell extension in both formats: an ES module for GNOME 45 and
# later, the legacy format with init() for 43 and 44.
extensions=share/gnome-shell/extensions
grep -q '^export default class' "$extensions/oglon-pointer@oglon.org/extension.js"
grep -q '^function init()' "$extensions/oglon-pointer-legacy@oglon.org/extension.js"
if grep -qE '^(import|export) ' "$extensions/oglon-pointer-legacy@oglon.org/extension.js"; then
    echo "the legacy extension has an import or export"; exit 1
fi
grep -q '"shell-version": \["43", "44"\]' "$extensions/oglon-pointer-legacy@oglon.org/metadata.json"

[ "$(bin/oglon --version)" = "Oglon Chromule 1.00" ]
echo "install check passed"
