#!/usr/bin/env bash
# Runs a command inside a headless GNOME Shell session of its own (Wayland, Xwayland,
# gsd-media-keys), with a private HOME and dconf, then ends the session:
#   scripts/wayland/gnome-session.sh ctest --test-dir build -L wayland_gnome
# The command sees WAYLAND_DISPLAY, DISPLAY (Xwayland), XDG_CURRENT_DESKTOP=GNOME and the
# session's bus. Needs gnome-shell, mutter, xwayland and gnome-settings-daemon.
set -euo pipefail

if [[ "${1:-}" != --inside ]]; then
    scratch=$(mktemp -d /tmp/vyrn-gnome.XXXXXX)
    system_bus_pid=
    cleanup() {
        [[ -n "$system_bus_pid" ]] && kill "$system_bus_pid" 2>/dev/null || true
        # The document portal's file system, mounted there until its bus is gone.
        fusermount -u -z "$scratch/runtime/doc" 2>/dev/null || true
        rm -rf "$scratch" 2>/dev/null || { sleep 1; rm -rf "$scratch"; }
    }
    trap cleanup EXIT
    # Mutter refuses to start Xwayland when the socket folder is not world-writable and sticky.
    mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix 2>/dev/null || true
    # GNOME Shell needs a system bus (it asks logind); a private one will do.
    dbus-daemon --config-file=/usr/share/dbus-1/session.conf --address="unix:path=$scratch/system-bus" \
        --fork --print-pid >"$scratch/system-bus.pid"
    system_bus_pid=$(cat "$scratch/system-bus.pid")
    mkdir -p "$scratch"/{home,config,state,data,cache,runtime}
    chmod 700 "$scratch/runtime"
    # The runtime folder before the session bus: dconf's change notices go through a file
    # there, and services the bus starts must see the same one.
    export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state
    export XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$scratch/system-bus
    export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME VYRN_GNOME_SCRATCH=$scratch
    unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
    status=0
    # The session's own daemons talk much; their lines go to a file, the command's to stderr.
    dbus-run-session -- "$0" --inside "$@" 3>&2 2>"$scratch/session.log" || status=$?
    [[ $status -ne 0 ]] && tail -n 40 "$scratch/session.log" >&2
    exit $status
fi
shift

scratch=$VYRN_GNOME_SCRATCH
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    # A shell that does not end on SIGTERM within 5 s is killed (with its helpers).
    for _ in $(seq 50); do
        alive=0
        for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
        [[ $alive -eq 0 ]] && break
        sleep 0.1
    done
    for pid in "${pids[@]}"; do pkill -KILL -P "$pid" 2>/dev/null || true; kill -KILL "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# One virtual monitor per size in VYRN_GNOME_MONITORS (default one of 1280x800).
monitors=()
for size in ${VYRN_GNOME_MONITORS:-1280x800}; do monitors+=(--virtual-monitor "$size"); done
gnome-shell --wayland --headless "${monitors[@]}" --wayland-display vyrn-wayland \
    >"$scratch/shell.log" 2>&1 &
pids+=($!)
for _ in $(seq 120); do
    [[ -S $XDG_RUNTIME_DIR/vyrn-wayland ]] && grep -q 'public X11 display' "$scratch/shell.log" &&
        compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" >/dev/null && break
    sleep 0.25
done
if [[ ! -S $XDG_RUNTIME_DIR/vyrn-wayland ]] || ! grep -q 'public X11 display' "$scratch/shell.log"; then
    echo "gnome-session.sh: GNOME Shell did not start; its log:" >&2
    cat "$scratch/shell.log" >&2
    exit 1
fi
export WAYLAND_DISPLAY=vyrn-wayland
DISPLAY=$(grep -o 'public X11 display :[0-9]*' "$scratch/shell.log" | head -1 | grep -o ':[0-9]*')
XAUTHORITY=$(ls -t "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* | head -1)
export DISPLAY XAUTHORITY
# Services the bus starts from now on (the portals, dconf) reach this session's displays.
dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XAUTHORITY

# The daemon that runs the custom keyboard shortcuts.
/usr/libexec/gsd-media-keys >"$scratch/gsd-media-keys.log" 2>&1 &
pids+=($!)
for _ in $(seq 60); do
    gdbus introspect --session --dest org.gnome.SettingsDaemon.MediaKeys \
        --object-path /org/gnome/SettingsDaemon/MediaKeys >/dev/null 2>&1 && break
    sleep 0.25
done

status=0
"$@" 2>&3 || status=$?
exit $status
