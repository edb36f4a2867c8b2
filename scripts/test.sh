#!/usr/bin/env bash
# Installs what is missing, builds VYRN twice (plain with -Werror, and with the address
# and undefined-behaviour sanitizers) and runs every test of both builds inside Xvfb
# and a private D-Bus session with an unlocked keyring, then the Wayland tests of the plain
# build in a headless KWin session (scripts/wayland/kde-session.sh) and a headless GNOME Shell
# session (scripts/wayland/gnome-session.sh). Every fuzz target is built with
# clang and run for a few seconds on its seeds first, and the Debian package is made from a
# Release build and checked (lintian, its files, the metadata validators, the unpacked program).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --test
scripts/check-format.sh
scripts/check-layers.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVYRN_WERROR=ON
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVYRN_WERROR=ON -DVYRN_SANITIZE=ON -DVYRN_BENCH=OFF
scripts/fuzz.sh --smoke
package=$(scripts/package.sh)
scripts/check-package.sh "$package"
status=0
xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" \
    dbus-run-session -- scripts/test-session.sh build build-asan || status=1
# The Wayland tests of each desktop, in a headless session of their own (KDE about 17 s,
# GNOME about 18 s on 2 cores, plus a few seconds to start each session).
VYRN_WAYLAND_LABEL=wayland_kde scripts/wayland/kde-session.sh scripts/test-session.sh build || status=1
sandbox=()
[[ $(id -u) -eq 0 ]] && sandbox=(QTWEBENGINE_DISABLE_SANDBOX=1)
scripts/wayland/gnome-session.sh env OMP_THREAD_LIMIT=1 "${sandbox[@]}" \
    ctest --test-dir build --output-on-failure -L '^wayland_gnome$' || status=1
# The frozen screen once more over two monitors of different sizes and scales (2 and 1).
VYRN_GNOME_MONITORS="2560x1600 1920x1080" scripts/wayland/gnome-session.sh env OMP_THREAD_LIMIT=1 \
    ctest --test-dir build --output-on-failure -R '^tst_overlay_wayland$' || status=1
exit $status
