#!/usr/bin/env bash
# Makes the Debian package: scripts/package.sh [--build-number N]
# A Release build in build-release/ (kept, so the next run rebuilds only what changed), then
# CPack's DEB generator over what `cmake --install` installs. Standard output is the
# package's path alone; the build talks on standard error. The version is the project's, with the build number of CMakeLists.txt
# unless --build-number gives another.
set -euo pipefail
cd "$(dirname "$0")/.."

number=(-UVYRN_BUILD_NUMBER)
while [[ $# -gt 0 ]]; do
    case "$1" in
    --build-number) number=("-DVYRN_BUILD_NUMBER=${2:?"--build-number 需要一个数字"}"); shift 2 ;;
    -h | --help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: 未知选项 $1（用法: scripts/package.sh [--build-number N]）" >&2; exit 2 ;;
    esac
done

scripts/deps.sh --package >&2
# Debian's compiler and linker flags with every hardening feature (fortified functions,
# stack protector, read-only relocations bound at start). Without -g: nothing keeps the
# debugging symbols, and they slow the build; without the checkout's path, so that another
# clone of it (CI's) finds the same compiled objects.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags=()
for flag in $(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS); do
    [[ $flag == -g || $flag == -ffile-prefix-map=* ]] || flags+=("$flag")
done
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="${flags[*]}" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DVYRN_TESTS=OFF -DVYRN_BENCH=OFF "${number[@]}" >&2
out=build-release/packages
rm -rf "$out"
cpack --config build-release/CPackConfig.cmake -B "$PWD/$out" >"$out.log" 2>&1 || {
    cat "$out.log" >&2
    exit 1
}
# CPack's staging folder stays beside the package; only the package is wanted.
rm -rf "$out/_CPack_Packages"
ls "$PWD/$out"/vyrn_*.deb
