#!/usr/bin/env bash
# Installs what is missing, builds VYRN and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "VYRN 需要一个图形桌面会话（X11）：当前没有 DISPLAY。请在桌面的终端里运行此命令。" >&2
    exit 1
fi
# Tesseract's OpenMP reads the limit when it loads; one thread is five times faster here.
export OMP_THREAD_LIMIT=1
exec build/vyrn "$@"
