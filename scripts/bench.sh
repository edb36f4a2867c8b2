#!/usr/bin/env bash
# Builds the release benchmarks and runs them all (or the ones named).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --test
scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DVYRN_TESTS=OFF
export OMP_THREAD_LIMIT=1 QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export XDG_CONFIG_HOME=$(mktemp -d) XDG_STATE_HOME=$(mktemp -d)
names=("$@")
[[ ${#names[@]} -eq 0 ]] && names=($(cd build-bench/bench && find . -maxdepth 1 -type f -executable -name 'bench_*' -printf '%f\n' | sort))
for name in "${names[@]}"; do
    echo "=== $name ==="
    build-bench/bench/"$name" >/dev/null 2>build-bench/$name.txt || { cat build-bench/$name.txt; exit 1; }
    cat build-bench/$name.txt
done
