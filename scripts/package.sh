#!/usr/bin/env bash
# Everything from a fresh Debian 12 machine (as root) to the signed release:
# set-up, a build of the shipped programs only, the unsigned archives (with
# their debug information and bills of materials), then, with --check, a
# second build that must give the same bytes (scripts/check-reproducible.sh),
# and last the signed archives with SHA256SUMS in build/packages/ (or
# $BUILD_DIR/packages/).
#
#   scripts/package.sh [--check] [cmake options of a first configuration]
#
# Signing uses the PKCS#12 file named by PRODUCT_SIGNING_PKCS12 with the
# password in PRODUCT_SIGNING_PASSWORD (and a time-stamp server in
# PRODUCT_SIGNING_TIMESTAMP_URL, if set); without one, a throw-away
# certificate made on the spot (scripts/release/sign_archives.py).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
check=
if [ "${1:-}" = --check ]; then
  check=1
  shift
fi
"$root/scripts/setup.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64-x86_64.cmake" "$@" >/dev/null
fi
if [ -d "$root/.git" ]; then
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
  export SOURCE_DATE_EPOCH
fi
cmake --build "$build" -j "$(nproc)" --target packages
if [ -n "$check" ]; then
  BUILD_DIR="$build" "$root/scripts/check-reproducible.sh"
fi
python3 "$root/scripts/release/sign_archives.py" "$build/packages/unsigned" "$build/packages"
cd "$build/packages"
ls -l ./*.zip SHA256SUMS
