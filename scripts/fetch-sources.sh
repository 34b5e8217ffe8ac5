#!/usr/bin/env bash
# Fetches the third-party sources we build with (Debian source packages) into
# .cache/src, through a private apt configuration so that the machine's own
# apt settings stay untouched. A second run finds everything in place and does
# nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/.cache/apt"
src="$root/.cache/src"
packages=(libjsoncpp fmtlib zydis zycore-c benchmark)

missing=()
for p in "${packages[@]}"; do
  [ -f "$src/$p.ready" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# The mirror comes from the machine's own apt sources, never from the repo.
mirror=""
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
fi
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
  mirror=$(awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' /etc/apt/sources.list)
fi
if [ -z "$mirror" ]; then
  echo "fetch-sources: no Debian mirror found in the machine's apt sources" >&2
  exit 1
fi

mkdir -p "$cache/lists/partial" "$cache/cache/archives/partial" "$src"
sed "s|@MIRROR@|$mirror|" "$root/config/apt/deb-src.list.in" > "$cache/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$cache/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o "Dir::State::Lists=$cache/lists" -o "Dir::Cache=$cache/cache")
apt-get "${apt_opts[@]}" -qq update

fetch_source() {
  local p=$1 work="$src/.work-$1"
  rm -rf "$work" && mkdir -p "$work"
  if ! (cd "$work" && apt-get "${apt_opts[@]}" -qq --download-only source "$p" >/dev/null 2>&1); then
    rm -rf "$work"
    return 1
  fi
  local dsc
  dsc=$(ls "$work"/*.dsc | head -n 1)
  (cd "$work" && dpkg-source --no-check -x "$(basename "$dsc")" unpacked >/dev/null)
  rm -rf "$src/$p"
  mv "$work/unpacked" "$src/$p"
  rm -rf "$work"
}

# Zydis' decoder needs only Zycore's headers. When the mirror cannot serve the
# zycore-c source package, the same headers come from Debian's libzycore-dev.
fetch_zycore_headers() {
  local work="$src/.work-zycore-deb"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get -qq download libzycore-dev >/dev/null 2>&1) || return 1
  dpkg-deb -x "$work"/libzycore-dev_*.deb "$work/x"
  rm -rf "$src/zycore-c" && mkdir -p "$src/zycore-c"
  mv "$work/x/usr/include" "$src/zycore-c/include"
  touch "$src/zycore-c/HEADERS_ONLY"
  rm -rf "$work"
}

for p in "${missing[@]}"; do
  if fetch_source "$p"; then
    touch "$src/$p.ready"
  elif [ "$p" = zycore-c ] && fetch_zycore_headers; then
    echo "fetch-sources: zycore-c source not served by the mirror; using the libzycore-dev headers" >&2
    touch "$src/$p.ready"
  else
    echo "fetch-sources: cannot fetch the source package $p" >&2
    exit 1
  fi
done
