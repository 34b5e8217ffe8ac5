#!/usr/bin/env bash
# Everything from a fresh Debian 12 machine (as root) to a running console:
# set-up, build, install into a Wine prefix of its own, and a short tour.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
BUILD_DIR="$build" "$root/scripts/build.sh" >/dev/null
install_dir="$build/demo-install"
rm -rf "$install_dir"
cmake --install "$build" --prefix "$install_dir" >/dev/null

export WINEPREFIX="$build/demo-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64; [ -x "$wine" ] || wine=wine
"$root/tests/rig/wine-start" "$WINEPREFIX" "$wine"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

console="$install_dir/Product.Console.exe"
echo "== The interactive shell, fed from a script"
printf 'Support.GetState\nexit\n' | "$wine" "$console"
echo
echo
echo "Open the console yourself in the same prefix with:"
echo "  WINEPREFIX=$WINEPREFIX wine $console"
