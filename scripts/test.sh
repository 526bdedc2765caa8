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

phase "product builds (MinGW i686, as the README builds them: unsigned, and signed with test keys), beside the next two builds"
cmake -S . -B "$build/product" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
# The signed product build takes public keys made here, never a publisher's.
keys=$build/product-signed-keys
mkdir -p "$keys"
for name in first second; do
  [ -f "$keys/$name.pub.pem" ] && continue
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$keys/$name.key.pem" 2>/dev/null
  openssl pkey -in "$keys/$name.key.pem" -pubout -out "$keys/$name.pub.pem"
done
cat "$keys/first.pub.pem" "$keys/second.pub.pem" >"$keys/built-in.pem"
cmake -S . -B "$build/product-signed" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DORV_CONFIG_KEYS="$keys/built-in.pem" >/dev/null
# The native build registers the product checks of this one too.
export ORV_SIGNED_PRODUCT_EXE=$build/product-signed/orvsetup.exe
# Their link-time optimisation runs on one core for a while; the other builds keep the rest busy.
# Nothing before the tests needs the product.
{ cmake --build "$build/product" -j"$jobs" && cmake --build "$build/product-signed" -j"$jobs"; } \
  >"$build/product-build.log" 2>&1 &
product_build=$!

phase "cross build of the test programs (MinGW $ORV_WINE_ARCH)"
# The test programs are built without link-time optimisation: it would double their compile time and
# only the product ships.
cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE="$ORV_TOOLCHAIN" -DORV_BUILD_TESTS=ON -DORV_TEST_ENDPOINTS=ON -DORV_LTO=OFF >/dev/null
cmake --build "$win" -j"$jobs"

phase "native build (clang, ASan + UBSan)"
# The benchmarks are built here so that they keep building; scripts/bench.sh runs them.
cmake -S . -B "$build/native" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DORV_SANITIZE=ON -DORV_FUZZ=ON -DORV_E2E=ON -DORV_BENCH=ON -DORV_WIN_BUILD_DIR="$win" -DORV_WINE_ARCH="$ORV_WINE_ARCH" \
  -DORV_WINE_LOADER="$ORV_WINE" >/dev/null
cmake --build "$build/native" -j"$jobs"
if ! wait "$product_build"; then
  cat "$build/product-build.log"
  echo "== the product build failed" >&2
  exit 1
fi
echo "== the product build has ended: $(tail -n 1 "$build/product-build.log")"

slots=${ORV_WINE_SLOTS:-3}
case $slots in '' | *[!0-9]* | 0*) echo "ORV_WINE_SLOTS must be a number from 1, not '$slots'" >&2; exit 2 ;; esac
test_jobs=${ORV_TEST_JOBS:-$((slots + 1))}
phase "Wine test bed ($ORV_WINE_ARCH, $slots slots)"
# Every Wine test runs in a slot of its own: a prefix with its wineserver, home (the desktop) and
# Xvfb display (tests/bed/wine_slot.h). Slot 1 is the prefix that setup-prefix.sh makes; the others
# are copies of it, kept for later runs like the first.
bed=$build/wine
[ "$ORV_WINE_ARCH" = i686 ] || bed=$build/wine-$ORV_WINE_ARCH
slot_dir() { if [ "$1" = 1 ]; then echo "$bed"; else echo "$bed/slot$1"; fi; }
in_slot() {
  local id=$1
  shift
  CTEST_RESOURCE_GROUP_COUNT=1 CTEST_RESOURCE_GROUP_0_WINE="id:$id,slots:1" bash tests/bed/in-slot.sh "$@"
}
export ORV_SLOW_TESTS=1 USER=$(id -un) WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export ORV_WIN_BUILD=$win ORV_TESTBED_CERTS=$bed/certs ORV_PRODUCT_EXE=$build/product/orvsetup.exe
export ORV_WINE_SLOT_ENVS=$bed/slots
# Outside a slot (a test given none) the programs run in slot 1.
export HOME=$bed/home WINEPREFIX=$bed/prefix ORV_TESTBED_OUT=$bed/out
xvfb_pids=()
cleanup() {
  for id in $(seq "$slots"); do
    [ -f "$ORV_WINE_SLOT_ENVS/$id.env" ] && in_slot "$id" "$ORV_WINESERVER" -k >/dev/null 2>&1
  done
  [ ${#xvfb_pids[@]} -eq 0 ] || kill "${xvfb_pids[@]}" >/dev/null 2>&1 || true
}
trap cleanup EXIT
rm -rf "$ORV_WINE_SLOT_ENVS"
mkdir -p "$ORV_WINE_SLOT_ENVS"
for id in $(seq "$slots"); do
  dir=$(slot_dir "$id")
  mkdir -p "$dir/home" "$dir/out"
  orv_start_xvfb
  xvfb_pids+=("$ORV_XVFB_PID")
  printf 'WINEPREFIX=%s\nHOME=%s\nDISPLAY=%s\nORV_TESTBED_OUT=%s\n' "$dir/prefix" "$dir/home" "$DISPLAY" "$dir/out" \
    >"$ORV_WINE_SLOT_ENVS/$id.env"
done
if [ ! -f "$bed/certs/publisher.pem" ]; then
  mkdir -p "$bed/certs"
  "$build/native/tests/orv_make_certs" "$bed/certs"
fi
in_slot 1 bash tests/bed/setup-prefix.sh "$win" "$bed/prefix" "$bed/certs"
for id in $(seq 2 "$slots"); do
  dir=$(slot_dir "$id")
  [ -f "$dir/prefix/system.reg" ] || bash tests/bed/copy-prefix.sh "$bed/prefix" "$bed/home" "$dir/prefix" "$dir/home"
done
# The slots' own preparation (the test CA, the URL recorder) at once, each with its wineserver.
pids=()
for id in $(seq 2 "$slots"); do
  in_slot "$id" bash tests/bed/setup-prefix.sh "$win" "$(slot_dir "$id")/prefix" "$bed/certs" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid"; done
# A persistent wineserver per slot keeps the Wine services running between the tests' programs.
# Each slot's server from the preparation ends first: -p does not reach a server already running.
# The first program then starts the services (and their COM server), here without a pipe of its
# own: a service started by a test's program would keep that program's output open to the end.
pids=()
for id in $(seq "$slots"); do
  in_slot "$id" timeout 120 "$ORV_WINESERVER" -w || true
  in_slot "$id" "$ORV_WINESERVER" -p >/dev/null 2>&1 || true
  report=$(slot_dir "$id")/out/services-started.txt
  in_slot "$id" timeout 120 "$ORV_WINE" "$win/tests/orvwatch.exe" --report "Z:${report//\//\\}" \
    -- 'C:\windows\system32\cmd.exe' /c exit </dev/null >/dev/null 2>&1 &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid"; done
# ctest hands each Wine test one of the slots (the resource "wine" in the tests' registration).
printf '{"version": {"major": 1, "minor": 0}, "local": [{"wine": [%s]}]}\n' \
  "$(for id in $(seq "$slots"); do printf '%s{"id": "%s", "slots": 1}' "$([ "$id" = 1 ] || echo ", ")" "$id"; done)" \
  >"$ORV_WINE_SLOT_ENVS/resources.json"

phase "tests ($slots Wine slots, ctest -j$test_jobs)"
status=0
# ORV_TEST_REGEX runs only the tests whose names match it (a developer's shortcut; CI runs all).
(cd "$build/native" && ctest --output-on-failure -j"$test_jobs" --resource-spec-file "$ORV_WINE_SLOT_ENVS/resources.json" \
  ${ORV_TEST_REGEX:+-R "$ORV_TEST_REGEX"}) ||
  status=$?
phase ""
echo "== all phases took $(( $(date +%s) - started )) s; Windows-side tests ran as $ORV_WINE_ARCH ($ORV_WINE_REASON)"
exit $status
