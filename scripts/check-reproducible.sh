#!/usr/bin/env bash
# Checks that the release can be built again byte for byte: builds the release
# targets of the checked-out commit a second time, from a fresh export of it
# in a fresh folder and without a compiler cache, and compares every file and
# every archive entry of the unsigned release with the one of build/ (or
# $BUILD_DIR), which it brings up to date first. Exit status 1 on a difference.
# The second build's folder is removed after a pass, unless --keep is given.
set -euo pipefail
keep=
if [ "${1:-}" = --keep ]; then
  keep=1
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "check-reproducible: no build in $build" >&2
  exit 1
fi
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
# A compiler cache may hand the compiler other paths than the build does (ccache
# with CCACHE_BASEDIR makes them relative, past the folder maps), so a release
# compiled through one is not the release of the sources alone.
if [ -n "$(cache_value CMAKE_CXX_COMPILER_LAUNCHER)$(cache_value CMAKE_C_COMPILER_LAUNCHER)" ]; then
  echo "check-reproducible: $build compiles through a compiler cache; check a build without one," \
       "e.g. BUILD_DIR=$root/build-release scripts/package.sh --check" >&2
  exit 2
fi

SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
cmake --build "$build" --target packages >/dev/null

second=$(mktemp -d "${TMPDIR:-/tmp}/product-second-build.XXXXXX")
# The first build's release as it is now, whatever runs in its folder later.
cp -r "$build/packages/unsigned" "$second/first"
mkdir "$second/source"
git -C "$root" archive --format=tar HEAD | tar -x -C "$second/source"
start=$(date +%s)
export CCACHE_DISABLE=1
cmake -S "$second/source" -B "$second/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$second/source/cmake/toolchain-mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE="$(cache_value CMAKE_BUILD_TYPE)" -DDEPS_SOURCE_DIR="$(cache_value DEPS_SOURCE_DIR)" \
  -DPRODUCT_BUILD_TESTS=OFF >/dev/null
cmake --build "$second/build" -j "$(nproc)" --target packages >/dev/null
echo "check-reproducible: second build of the release targets in $(( $(date +%s) - start )) s"

if python3 "$root/scripts/release/compare_releases.py" "$second/first" "$second/build/packages/unsigned"; then
  if [ -n "$keep" ]; then
    echo "check-reproducible: the second build is kept in $second"
  else
    rm -rf "$second"
  fi
  exit 0
fi
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  echo "check-reproducible: the working tree has changes that the commit has not; the second build is of the commit" >&2
fi
echo "check-reproducible: the second build is kept in $second" >&2
exit 1
