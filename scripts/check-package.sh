#!/usr/bin/env bash
# Checks a Debian package of VYRN: scripts/check-package.sh vyrn_VERSION_ARCH.deb
# lintian (an error fails; warnings are shown), its files against tests/app/data/installed-files.txt,
# the desktop entry and AppStream validators, and that the program unpacked under a temporary
# root starts and answers --version with the package's version.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:?"用法: scripts/check-package.sh PACKAGE.deb"}
root=$(mktemp -d /tmp/vyrn-package.XXXXXX)
trap 'rm -rf "$root"' EXIT
status=0
fail() {
    echo "check-package: $*" >&2
    status=1
}

echo "== $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
dpkg-deb -f "$deb" Depends Recommends

echo "== lintian"
lintian --fail-on error --display-info --tag-display-limit 0 "$deb" || fail "lintian reports errors"

echo "== files"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub("^\\./usr/", "", $6); print $6 }' | LC_ALL=C sort >"$root/files"
diff -u tests/app/data/installed-files.txt "$root/files" || fail "the package's files differ from the expected list"

echo "== validators"
dpkg -x "$deb" "$root/tree"
desktop-file-validate "$root/tree/usr/share/applications/app.vyrn.Vyrn.desktop" || fail "desktop-file-validate"
# KWin grants its screenshot interface to the program an entry names by its absolute path.
grep -qx 'Exec="/usr/bin/vyrn"' "$root/tree/usr/share/applications/app.vyrn.Vyrn.desktop" &&
    grep -qx 'X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2' "$root/tree/usr/share/applications/app.vyrn.Vyrn.desktop" ||
    fail "the menu entry does not grant KWin's screenshot interface to /usr/bin/vyrn"
appstreamcli validate --no-net "$root/tree/usr/share/metainfo/app.vyrn.Vyrn.metainfo.xml" || fail "appstreamcli validate"

echo "== unpacked program"
version=$(dpkg-deb -f "$deb" Version)
expected="VYRN ${version%-*} (${version##*-})"
answer=$("$root/tree/usr/bin/vyrn" --version 2>&1) || fail "vyrn --version failed: $answer"
[[ $answer == "$expected" ]] || fail "vyrn --version answered '$answer', expected '$expected'"
echo "$answer"
[[ $status -eq 0 ]] && echo "check-package: passed"
exit $status
