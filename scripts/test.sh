#!/usr/bin/env bash
# Builds everything and runs every test: the platform-free unit tests natively under ASan and
# UBSan, the same tests and the Windows-side tests under Wine, the end-to-end tests that run the
# stub under Wine and Xvfb against local servers, and the checks of the shipped 32-bit program.
# Installs what it needs on a fresh Debian. ORV_WINE_ARCH=i686|x86_64 forces the architecture of
# the Windows-side test builds (see scripts/wine-env.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${ORV_BUILD_DIR:-$root/build}
started=$(date +%s)

bash scripts/install-deps.sh
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
orv_choose_wine_arch
echo "== Windows-side tests: $ORV_WINE_ARCH builds under $([ "$ORV_WINE_ARCH" = i686 ] && echo 32 || echo 64)-bit Wine, because $ORV_WINE_REASON"
echo "== The shipped program is built and checked as i686 in every run (tests named product_i686.*)"

phase_started=$started
phase() {
  local now
  now=$(date +%s)
  [ -n "${phase_name:-}" ] && echo "== phase '$phase_name' took $((now - phase_started)) s"
  phase_name=$1
  phase_started=$now
  [ -n "$1" ] && echo "== $1"
  return 0
}

jobs=$(nproc)
win=$build/win
[ "$ORV_WINE_ARCH" = i686 ] || win=$build/win-$ORV_WINE_ARCH

phase "product build (MinGW i686, as the README builds it)"
cmake -S . -B "$build/product" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build "$build/product" -j"$jobs"

phase "cross build of the test programs (MinGW $ORV_WINE_ARCH)"
cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE="$ORV_TOOLCHAIN" -DORV_BUILD_TESTS=ON -DORV_TEST_ENDPOINTS=ON >/dev/null
cmake --build "$win" -j"$jobs"

phase "native build (clang, ASan + UBSan)"
cmake -S . -B "$build/native" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DORV_SANITIZE=ON -DORV_FUZZ=ON -DORV_E2E=ON -DORV_WIN_BUILD_DIR="$win" -DORV_WINE_ARCH="$ORV_WINE_ARCH" \
  -DORV_WINE_LOADER="$ORV_WINE" >/dev/null
cmake --build "$build/native" -j"$jobs"

phase "Wine test bed ($ORV_WINE_ARCH)"
bed=$build/wine
[ "$ORV_WINE_ARCH" = i686 ] || bed=$build/wine-$ORV_WINE_ARCH
mkdir -p "$bed/home" "$bed/out"
export ORV_SLOW_TESTS=1 HOME=$bed/home USER=$(id -un) WINEPREFIX=$bed/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export ORV_WIN_BUILD=$win ORV_TESTBED_CERTS=$bed/certs ORV_TESTBED_OUT=$bed/out ORV_PRODUCT_EXE=$build/product/orvsetup.exe
orv_start_xvfb
cleanup() {
  "$ORV_WINESERVER" -k >/dev/null 2>&1 || true
  kill "$ORV_XVFB_PID" >/dev/null 2>&1 || true
}
trap cleanup EXIT
if [ ! -f "$bed/certs/publisher.pem" ]; then
  mkdir -p "$bed/certs"
  "$build/native/tests/orv_make_certs" "$bed/certs"
fi
bash tests/bed/setup-prefix.sh "$win" "$WINEPREFIX" "$bed/certs"
"$ORV_WINESERVER" -p >/dev/null 2>&1 || true

phase "tests"
status=0
(cd "$build/native" && ctest --output-on-failure -j1) || status=$?
phase ""
echo "== all phases took $(( $(date +%s) - started )) s; Windows-side tests ran as $ORV_WINE_ARCH ($ORV_WINE_REASON)"
exit $status
