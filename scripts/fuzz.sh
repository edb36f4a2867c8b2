#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one: scripts/fuzz.sh <target> [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --test
target=${1:?usage: scripts/fuzz.sh <target> [seconds]}
seconds=${2:-300}
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVYRN_FUZZ=ON \
    -DVYRN_TESTS=OFF -DVYRN_BENCH=OFF
corpus=fuzz/corpus-$target
mkdir -p "$corpus"
seeds=()
[[ -d fuzz/seeds/$target ]] && seeds=(fuzz/seeds/$target)
build-fuzz/fuzz/"$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "${seeds[@]}"
