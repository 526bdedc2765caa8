#!/usr/bin/env bash
# Builds the benchmark programmes natively (Release) and runs them, then times the CRC-32 of the
# 32-bit build under Wine. Prints the ratios each benchmark computes in its run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ORV_BUILD_DIR:-$PWD/build}
bash scripts/install-deps.sh
cmake -S . -B "$build/bench" -DCMAKE_BUILD_TYPE=Release -DORV_BENCH=ON >/dev/null
cmake --build "$build/bench" -j"$(nproc)"
for bench in "$build"/bench/tests/*_bench; do
  echo "== $(basename "$bench")"
  "$bench"
done
cmake -S . -B "$build/bench-win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build "$build/bench-win" -j"$(nproc)" --target crc32_speed
echo "== crc32_speed.exe (32-bit, under Wine)"
WINEPREFIX=${WINEPREFIX:-$build/bench-prefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
  wine "$build/bench-win/tests/crc32_speed.exe"
