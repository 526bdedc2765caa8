#!/usr/bin/env bash
# Builds everything and runs every test: the platform-free unit tests natively under ASan and
# UBSan, the same tests and the Windows-side tests under Wine, and the end-to-end tests that run
# the stub under Wine and Xvfb against local servers. Installs what it needs on a fresh Debian.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${ORV_BUILD_DIR:-$root/build}
started=$(date +%s)
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

phase "install dependencies"
bash scripts/install-deps.sh

jobs=$(nproc)
# The test builds of the stub talk to the local servers of the test bed (tests/bed/wine.h).
test_endpoints=(-DORV_CONFIG_URL=https://localhost:18443/orv.json
                -DORV_ANALYTICS_HOST=localhost:18444
                "-DORV_CANCEL_PAGE_BASE=http://localhost:18081/installation-cancelled/?v=")

phase "cross build (MinGW i686)"
cmake -S . -B "$build/win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DORV_BUILD_TESTS=ON \
  "${test_endpoints[@]}" >/dev/null
cmake --build "$build/win" -j"$jobs"

phase "native build (clang, ASan + UBSan)"
cmake -S . -B "$build/native" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DORV_SANITIZE=ON -DORV_FUZZ=ON -DORV_E2E=ON -DORV_WIN_BUILD_DIR="$build/win" >/dev/null
cmake --build "$build/native" -j"$jobs"

phase "Wine test bed"
bed=$build/wine
mkdir -p "$bed/home" "$bed/out"
export ORV_SLOW_TESTS=1 HOME=$bed/home USER=$(id -un) WINEPREFIX=$bed/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export ORV_WIN_BUILD=$build/win ORV_TESTBED_CERTS=$bed/certs ORV_TESTBED_OUT=$bed/out
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
if [ ! -f "$bed/certs/ca.der" ]; then
  mkdir -p "$bed/certs"
  "$build/native/tests/orv_make_certs" "$bed/certs"
fi
bash tests/bed/setup-prefix.sh "$build/win" "$WINEPREFIX" "$bed/certs"
wineserver -p >/dev/null 2>&1 || true

phase "tests"
status=0
(cd "$build/native" && ctest --output-on-failure -j1) || status=$?
phase ""
echo "== all phases took $(( $(date +%s) - started )) s"
exit $status
