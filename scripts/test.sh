#!/usr/bin/env bash
# Everything from a fresh Debian 12 machine (as root) to every test run:
# set-up, build, then the unit and end-to-end tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
BUILD_DIR="$build" "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
