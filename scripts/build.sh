#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR) with the cross toolchain.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
# In CI (CI=true in its environment) a warning of our code fails the build.
werror=OFF
if [ -n "${CI:-}" ]; then
  werror=ON
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64-x86_64.cmake" -DPRODUCT_WERROR=$werror "$@"
elif [ $werror = ON ] && ! grep -qx 'PRODUCT_WERROR:BOOL=ON' "$build/CMakeCache.txt"; then
  # A folder configured before, outside CI, keeps its settings but not its
  # leniency.
  cmake "$build" -DPRODUCT_WERROR=ON
fi
cmake --build "$build" -j "$(nproc)"
