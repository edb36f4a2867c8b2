#!/usr/bin/env bash
# Runs a command inside a headless KDE Plasma Wayland session: KWin with a virtual output,
# Xwayland and kglobalaccel (KWin hosts it), on a private session bus, with a fresh HOME.
#   scripts/wayland/kde-session.sh <command> [args...]
# The command sees WAYLAND_DISPLAY, DISPLAY (Xwayland), the session's bus and the environment
# of a Plasma session, and $VYRN_KINPUT: a program that presses keys through the compositor's
# own input (`kinput key:125+20`, Linux key codes joined by +).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d /tmp/vyrn-kde.XXXXXX)
session=
cleanup() {
    # Whatever the session's bus started on demand is in its process group.
    [[ -n "$session" ]] && kill -- "-$session" 2>/dev/null || true
    sleep 0.2
    # The document portal mounts a file system in the runtime folder.
    fusermount -uz "$scratch/runtime/doc" 2>/dev/null || true
    rm -rf "$scratch" || true
}
trap cleanup EXIT

export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state
export XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME/applications" "$XDG_CACHE_HOME" \
    "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# The fake keyboard: KWin lets a program use it when a desktop entry whose Exec is that
# program asks for the interface.
protocol=/usr/share/plasma-wayland-protocols/fake-input.xml
wayland-scanner client-header "$protocol" "$scratch/fake-input.h"
wayland-scanner private-code "$protocol" "$scratch/fake-input.c"
gcc -O1 -o "$scratch/kinput" "$root/tests/support/kinput.c" "$scratch/fake-input.c" -I"$scratch" -lwayland-client
printf '[Desktop Entry]\nType=Application\nName=test input\nExec=%s\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n' \
    "$scratch/kinput" >"$XDG_DATA_HOME/applications/vyrn-test-kinput.desktop"
export VYRN_KINPUT=$scratch/kinput

# /usr/bin/kwin_wayland carries a file capability (cap_sys_resource), which a container
# refuses to exec (EPERM): a plain copy runs.
cp /usr/bin/kwin_wayland "$scratch/kwin_wayland"

# Xwayland makes its socket there; without the folder KWin gives up on Xwayland.
if [[ ! -d /tmp/.X11-unix ]]; then
    mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
fi

# Nothing of the calling session may leak in: its bus, its display, its desktop.
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY XAUTHORITY SESSION_MANAGER DESKTOP_SESSION GNOME_SETUP_DISPLAY
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
export LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=wayland

cat >"$scratch/inner.sh" <<'INNER'
#!/usr/bin/env bash
set -uo pipefail
scratch=$1
shift
kbuildsycoca5 >/dev/null 2>&1
# VYRN_KWIN_OUTPUTS: other virtual outputs, e.g. "--width 1280 --height 800 --output-count 2 --scale 2".
# shellcheck disable=SC2086
QT_QPA_PLATFORM=wayland "$scratch/kwin_wayland" --virtual --xwayland ${VYRN_KWIN_OUTPUTS:---width 1280 --height 800} --no-lockscreen \
    --socket wayland-vyrn >"$scratch/kwin.log" 2>&1 &
kwin=$!
display=
for _ in $(seq 150); do
    if [[ -S "$XDG_RUNTIME_DIR/wayland-vyrn" ]]; then
        xwayland=$(pgrep -P "$kwin" -x Xwayland || true)
        [[ -n "$xwayland" ]] && display=$(tr '\0' '\n' <"/proc/$xwayland/cmdline" | grep -m1 '^:[0-9]*$' || true)
        if [[ -n "$display" ]] && DISPLAY=$display xprop -root >/dev/null 2>&1 &&
            dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
                org.freedesktop.DBus.NameHasOwner string:org.kde.kglobalaccel 2>/dev/null | grep -q true; then
            break
        fi
        display=
    fi
    kill -0 "$kwin" 2>/dev/null || break
    sleep 0.2
done
if [[ -z "$display" ]]; then
    echo "kde-session: KWin did not start" >&2
    cat "$scratch/kwin.log" >&2
    kill "$kwin" 2>/dev/null
    exit 1
fi
# A full path: a command may point XDG_RUNTIME_DIR elsewhere (scripts/test-session.sh does).
export WAYLAND_DISPLAY=$XDG_RUNTIME_DIR/wayland-vyrn DISPLAY=$display
# Services the bus starts on demand (the desktop portal and its KDE back end) find the session.
dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY
# VYRN's windows are X11 ones, as in a real session.
export QT_QPA_PLATFORM=xcb
"$@"
status=$?
kill "$kwin" 2>/dev/null
wait "$kwin" 2>/dev/null
exit $status
INNER
chmod +x "$scratch/inner.sh"
setsid dbus-run-session -- "$scratch/inner.sh" "$scratch" "$@" &
session=$!
status=0
wait "$session" || status=$?
exit $status
