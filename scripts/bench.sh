#!/usr/bin/env bash
# Builds the benchmark programmes natively (Release) and runs them, then times the CRC-32, the
# SHA-256 and the installer check of the Windows build under Wine (32-bit where this machine starts
# 32-bit programs, else 64-bit; see scripts/wine-env.sh). Prints the ratios each benchmark computes
# in its run.
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
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
orv_choose_wine_arch
cmake -S . -B "$build/bench-win-$ORV_WINE_ARCH" -DCMAKE_TOOLCHAIN_FILE="$ORV_TOOLCHAIN" -DORV_BUILD_TESTS=ON >/dev/null
cmake --build "$build/bench-win-$ORV_WINE_ARCH" -j"$(nproc)" --target crc32_speed sums_speed
for speed in crc32_speed sums_speed; do
  echo "== $speed.exe ($ORV_WINE_ARCH under Wine: $ORV_WINE_REASON)"
  WINEPREFIX=${WINEPREFIX:-$build/bench-prefix-$ORV_WINE_ARCH} WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$ORV_WINE" "$build/bench-win-$ORV_WINE_ARCH/tests/$speed.exe"
done
if [ "$ORV_WINE_ARCH" != i686 ]; then
  # The shipped architecture is built all the same, to be run where 32-bit programs start.
  cmake -S . -B "$build/bench-win-i686" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DORV_BUILD_TESTS=ON >/dev/null
  cmake --build "$build/bench-win-i686" -j"$(nproc)" --target sums_speed
  echo "== sums_speed.exe (i686): built as $build/bench-win-i686/tests/sums_speed.exe, not run: $ORV_WINE_REASON"
fi
