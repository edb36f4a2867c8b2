#!/usr/bin/env bash
# Runs inside Xvfb and the test D-Bus session: a fresh HOME, the key store daemon,
# then ctest in each build folder given.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scratch=$(mktemp -d /tmp/vyrn-test.XXXXXX)
cleanup() {
    for pid in "${keyring_pid:-}" "${a11y_pid:-}" "${wm_pid:-}"; do
        [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap cleanup EXIT

export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state
export XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export OMP_THREAD_LIMIT=1 QT_QPA_PLATFORM=xcb
# Xvfb is an X11 session, whatever desktop the suite was started from; inside a Wayland
# desktop's session (scripts/wayland/) that session's type stays.
if [[ -z "${VYRN_WAYLAND_LABEL:-}" ]]; then
    export XDG_SESSION_TYPE=x11
    unset WAYLAND_DISPLAY
fi
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$root/tests/support/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The real Secret Service, with a new keyring unlocked by a throw-away password.
eval "$(echo -n vyrn-test | gnome-keyring-daemon --unlock --components=secrets)"
keyring_pid=${GNOME_KEYRING_PID:-}
export VYRN_TEST_SECRET_SERVICE=1

# A desktop as users have one: a window manager, and the accessibility bus that GTK
# programs always speak to (Qt programs only when told to: --a11y=0).
/usr/libexec/at-spi-bus-launcher --launch-immediately --a11y=0 &
a11y_pid=$!
desktop_ready() {
    xdotool get_num_desktops >/dev/null 2>&1 &&
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q true
}
# Openbox's own shortcuts (Super+D, Super+E, Ctrl+Alt+arrows...) would take keys the tests
# grab; what happens when a desktop holds a key is tested with a grab of a test client.
sed '/<keyboard>/,/<\/keyboard>/c\<keyboard></keyboard>' /etc/xdg/openbox/rc.xml >"$scratch/openbox-rc.xml"
for _ in $(seq 100); do
    # A window manager that could not open the display yet is started again. Inside a Wayland
    # desktop's session (scripts/wayland/) its compositor manages the windows.
    if [[ -z "${VYRN_WAYLAND_LABEL:-}" ]] && { [[ -z "${wm_pid:-}" ]] || ! kill -0 "$wm_pid" 2>/dev/null; }; then
        openbox --sm-disable --config-file "$scratch/openbox-rc.xml" >/dev/null 2>&1 &
        wm_pid=$!
    fi
    desktop_ready && break
    sleep 0.05
done
desktop_ready || echo "warning: no window manager or accessibility bus; desktop tests will fail" >&2

# Wayland tests (labels wayland_*) run only in their desktop's session, which names the label.
if [[ -n "${VYRN_WAYLAND_LABEL:-}" ]]; then
    labels=(-L "^${VYRN_WAYLAND_LABEL}\$")
else
    labels=(-LE '^wayland_')
fi
# VYRN_CTEST_ARGS narrows the run, e.g. VYRN_CTEST_ARGS="-R tst_x11".
status=0
for folder in "$@"; do
    echo "=== ctest in $folder ==="
    # shellcheck disable=SC2086
    ctest --test-dir "$folder" --output-on-failure -j 2 "${labels[@]}" ${VYRN_CTEST_ARGS:-} || status=1
done
exit $status
