#!/usr/bin/env bash
# The publisher pin build option: anything but nothing or 64 hexadecimal digits fails the
# configuration with the option's message; 64 digits in either case reach the stub's header.
# Usage: pin-option-check.sh SOURCE_DIR WORK_DIR
set -uo pipefail
src=$1 work=$2 failures=0
pin=e27c8b682fa5e88bc5741511d0cb44033541c3455f50bfa1e2537a91e0e571d1
# One build folder for every value: the compilers are found once, and each configuration starts
# without the stub's generated header, so that only this value's can be found there.
rm -rf "$work"
configure() {
  rm -rf "$work/variants"
  cmake -S "$src" -B "$work" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DORV_BUILD_TESTS=OFF \
    "-DORV_PUBLISHER_PIN=$1" >"$work.log" 2>&1
}
for value in "${pin:0:63}" "${pin}0" "${pin:0:63}g" "${pin:0:32} ${pin:33}" "0x${pin:2}"; do
  if configure "$value" || ! grep -q "ORV_PUBLISHER_PIN must be empty or 64 hexadecimal digits" "$work.log"; then
    echo "FAIL: '$value' was not refused with the option's message" && cat "$work.log" && failures=1
  fi
done
for value in "$pin" "${pin^^}"; do
  if ! configure "$value" || ! grep -rqF "L\"$value\"" "$work/variants"; then
    echo "FAIL: '$value' was refused or did not reach the stub's header" && cat "$work.log" && failures=1
  fi
done
rm -rf "$work" "$work.log"
exit $failures
