#!/usr/bin/env bash
# One command for the performance figures: builds what the measurements need,
# then runs bench/harness.py (start-up ratios, guard cost, interactive
# throughput and memory, microbenchmarks) and writes bench/results/latest.json.
#   bench/run.sh [harness options, see bench/harness.py --help]
# BUILD_DIR selects the build folder (default: build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

if ! command -v hyperfine >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y hyperfine; else sudo apt-get install -y hyperfine; fi
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64-x86_64.cmake"
fi
# Only what runs here; stand-ins that this tree does not have yet are skipped.
wanted=(Product.Console TesJson tesdk cvch log product_matrix_comm product_support telowprivilegeworker
        bench_trivial bench_floor product_microbench)
known=$(cmake --build "$build" --target help | sed -n 's/^\([^:]*\):.*/\1/p')
targets=()
for t in "${wanted[@]}"; do
  grep -qx "$t" <<<"$known" && targets+=("$t")
done
cmake --build "$build" --target "${targets[@]}" -j "$(nproc)"

exec python3 "$root/bench/harness.py" --build-dir "$build" "$@"
