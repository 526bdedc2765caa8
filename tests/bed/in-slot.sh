#!/usr/bin/env bash
# Runs a command in the Wine slot that ctest gave the test (tests/bed/wine_slot.h): the slot's
# variables from <ORV_WINE_SLOT_ENVS>/<id>.env replace the caller's. Without a slot the command
# runs in the caller's environment. Usage: in-slot.sh COMMAND [ARGUMENTS...]
set -euo pipefail
if [ -n "${CTEST_RESOURCE_GROUP_COUNT:-}" ] && [ -n "${CTEST_RESOURCE_GROUP_0_WINE:-}" ]; then
  allocation=${CTEST_RESOURCE_GROUP_0_WINE%%;*}
  id=
  IFS=, read -ra fields <<<"$allocation"
  for field in "${fields[@]}"; do
    case $field in id:?*) id=${field#id:} ;; esac
  done
  [ -n "$id" ] || { echo "in-slot.sh: ctest's wine resource names no slot id: '$CTEST_RESOURCE_GROUP_0_WINE'" >&2; exit 2; }
  file=${ORV_WINE_SLOT_ENVS:?ctest gave Wine slot $id but ORV_WINE_SLOT_ENVS is not set (run scripts/test.sh)}/$id.env
  [ -r "$file" ] || { echo "in-slot.sh: Wine slot $id: cannot read $file" >&2; exit 2; }
  while IFS= read -r line || [ -n "$line" ]; do
    [ -n "$line" ] || continue
    [[ $line == ?*=* ]] || { echo "in-slot.sh: $file: not KEY=VALUE: '$line'" >&2; exit 2; }
    export "${line%%=*}=${line#*=}"
  done <"$file"
fi
exec "$@"
