#!/usr/bin/env bash
# One-time machine set-up for a fresh Debian 12 (run as root): the cross
# toolchain, Wine, the build and test tools, and the dependency sources.
# Safe to run again: what is present already is skipped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null && [ -x /usr/lib/wine/wine64 ] || need+=(wine64)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v dpkg-source >/dev/null || need+=(dpkg-dev)
/usr/bin/python3 -c 'import pytest' 2>/dev/null || need+=(python3-pytest)
/usr/bin/python3 -c 'import jsonschema' 2>/dev/null || need+=(python3-jsonschema)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v osslsigncode >/dev/null && command -v openssl >/dev/null || need+=(osslsigncode openssl)
# e2e.layer_check builds through it as well, a launcher after the layer check's.
command -v ccache >/dev/null || need+=(ccache)
[ -f /usr/share/keyrings/debian-archive-keyring.gpg ] || need+=(debian-archive-keyring)
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}" >/dev/null
fi

"$root/scripts/fetch-sources.sh"
