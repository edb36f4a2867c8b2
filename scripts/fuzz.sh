#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers) and runs them:
#   scripts/fuzz.sh <target> [seconds]    one target, growing its corpus in fuzz/corpus-<target>
#   scripts/fuzz.sh --smoke [seconds]     every target on its seeds for a fixed number of runs (the test command)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --test
target=${1:?usage: scripts/fuzz.sh <target> [seconds] | --smoke [seconds]}

options=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVYRN_FUZZ=ON -DVYRN_TESTS=OFF -DVYRN_BENCH=OFF)
command -v ccache >/dev/null && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [[ ! -f build-fuzz/build.ninja ]]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz "${options[@]}"
fi
# Only the fuzz targets and the library they test: the windows and the program are not needed here.
cmake --build build-fuzz --target fuzzers --parallel "$(nproc)"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$(pwd)/tests/support/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen

run() { # <target> <seconds> <corpus folder> [libFuzzer options]: new inputs go to the corpus, never to the seeds
    local seeds=()
    [[ -d fuzz/seeds/$1 ]] && seeds=(fuzz/seeds/$1)
    build-fuzz/fuzz/"$1" -max_total_time="$2" -artifact_prefix=build-fuzz/"$1"- "${@:4}" "$3" "${seeds[@]}"
}

if [[ $target != --smoke ]]; then
    mkdir -p fuzz/corpus-"$target"
    run "$target" "${2:-300}" fuzz/corpus-"$target"
    exit
fi
seconds=${2:-30} # a ceiling; the runs end it first
runs=${VYRN_FUZZ_SMOKE_RUNS:-20000}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for binary in build-fuzz/fuzz/fuzz_*; do
    [[ -x $binary && -f $binary ]] || continue
    name=$(basename "$binary")
    mkdir -p "$scratch/$name"
    # A fixed seed and number of runs: the test command finds the same inputs on every
    # machine, so a finding fails the change that brought it, not a later one by chance.
    if ! run "$name" "$seconds" "$scratch/$name" -seed=1 -runs="$runs" >"$scratch/$name.log" 2>&1; then
        tail -n 60 "$scratch/$name.log"
        echo "fuzz target $name failed (input saved under build-fuzz/$name-*)" >&2
        exit 1
    fi
    echo "fuzz target $name: $(grep -Eo 'Done [0-9]+ runs in [0-9]+ second\(s\)' "$scratch/$name.log" | tail -n 1)"
done
