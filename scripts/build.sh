#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh <folder> [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$1
shift
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Paths relative to the checkout, so that another clone of it (CI's) finds the same objects.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
if [[ ! -f "$folder/build.ninja" ]]; then
    cmake -S . -B "$folder" -G Ninja "${launcher[@]}" "$@"
else
    cmake "$folder" "$@" >/dev/null
fi
# CMake 3.25's Ninja generator can miss new Qt classes pulled into an existing folder (a link
# error on a missing vtable); its moc step is cheap to rerun, so it always runs.
rm -f "$folder"/src/*_autogen/timestamp
cmake --build "$folder" --parallel "$(nproc)"
