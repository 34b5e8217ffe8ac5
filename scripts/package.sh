#!/usr/bin/env bash
# Everything from a fresh Debian 12 machine (as root) to the release archives:
# set-up, a build of the shipped programs only, then the archives (and their
# debug information) in build/packages/ (or $BUILD_DIR/packages/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64-x86_64.cmake" "$@" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target packages
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
cd "$build/packages"
ls -l Product.Console-"$version"-win64*.zip
