#!/usr/bin/env bash
# Runs inside Xvfb and the test D-Bus session: a fresh HOME, the key store daemon,
# then ctest in each build folder given.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scratch=$(mktemp -d /tmp/vyrn-test.XXXXXX)
cleanup() {
    [[ -n "${keyring_pid:-}" ]] && kill "$keyring_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state
export XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export OMP_THREAD_LIMIT=1 QT_QPA_PLATFORM=xcb
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$root/tests/support/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The real Secret Service, with a new keyring unlocked by a throw-away password.
eval "$(echo -n vyrn-test | gnome-keyring-daemon --unlock --components=secrets)"
keyring_pid=${GNOME_KEYRING_PID:-}
export VYRN_TEST_SECRET_SERVICE=1

status=0
for folder in "$@"; do
    echo "=== ctest in $folder ==="
    ctest --test-dir "$folder" --output-on-failure -j 2 || status=1
done
exit $status
