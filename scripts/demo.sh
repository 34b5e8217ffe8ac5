#!/usr/bin/env bash
# Everything from a fresh Debian 12 machine (as root) to a running console:
# set-up, build, an agent installation in a Wine prefix of its own, and a short
# tour of the console against the simulated agent.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
echo "== Building (first run: a few minutes)"
BUILD_DIR="$build" "$root/scripts/build.sh" >/dev/null

export WINEPREFIX="$build/demo-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64; [ -x "$wine" ] || wine=wine
"$root/tests/rig/wine-start" "$WINEPREFIX" "$wine"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

# The agent installation: the console and the agent's components under
# Program Files, registered where the console looks for them.
drive_c="$WINEPREFIX/drive_c"
install_dir="$drive_c/Program Files/Tessaro Security"
rm -rf "$install_dir"
cmake --install "$build" --prefix "$install_dir" >/dev/null
"$wine" reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaro Security' \
  /v InstallLocation /t REG_SZ /d 'C:\Program Files\Tessaro Security' /f >/dev/null 2>&1
# A fresh agent for every tour.
rm -rf "$drive_c/ProgramData/ProductAgent" "$drive_c/SupportOut" "$drive_c/ScanMe"
mkdir -p "$drive_c/SupportOut" "$drive_c/ScanMe/docs"
for i in 1 2 3 4 5; do echo "file $i" > "$drive_c/ScanMe/docs/report-$i.txt"; done
echo "notes" > "$drive_c/ScanMe/notes.txt"

console='C:\Program Files\Tessaro Security\Product.Console.exe'
run() {
  echo
  echo "> Product.Console.exe /c $*"
  "$wine" "$console" /c "$@" | tr -d '\r'
  echo
}

echo "== A tour of the console against the simulated agent"
run GetVersion product
run GetVersion antivirus
run GetUpdateStatus product
run Support.GetScenarios
run Support.StartSession scenario=network scenario=update 'outputPath=C:\SupportOut' timeout=1
run Support.GetState
run Support.EndSession
echo "   delivered: $(cd "$drive_c/SupportOut" && find . -type f | sort | tr '\n' ' ')"
run FileScan.OnDemand.RunScanTask custom 'path=C:\ScanMe'
run StartUpdate
run IsUpdateInProgress
echo "   (waiting for the update to finish)"
sleep 9
run IsUpdateInProgress
run IsUpdateRestartNeeded
run GetVersion product
run Support.GetHistory 'path=C:\SupportOut\history.csv' format=csv
echo "   history: $(tr -d '\r' < "$drive_c/SupportOut/history.csv" | head -5)"

echo
echo "The console and its agent stay installed in $WINEPREFIX. Open the interactive console with:"
echo "  WINEPREFIX=$WINEPREFIX wine '$console'"
echo "(one command per line, \"exit\" to leave)"
