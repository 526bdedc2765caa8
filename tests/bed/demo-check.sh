#!/usr/bin/env bash
# Runs the README's demo command in its Xvfb form and checks what it printed: the stub's log of a
# complete successful run and its exit code.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mktemp)
trap 'rm -f "$out"' EXIT
env -u DISPLAY bash "$root/scripts/demo.sh" >"$out" 2>&1
status=$?
failed=0
for expected in "INFO Tavlin wrapper started" "INFO Config file has been downloaded successfully" \
                "[demo server] configuration GET /orv.json.sig" "INFO Configuration signed by key " \
                "INFO Begin download" "INFO 100" "INFO End download" "INFO Checksum is OK. Continue..." \
                "INFO Installer execution has successfully completed" "INFO Tavlin wrapper exiting" \
                "== orvsetup.exe exit code: 0" "[demo server] configuration GET /orv.json" \
                "[demo server] installer GET /OrvandelInstaller.exe?rn="; do
  if ! grep -qF -- "$expected" "$out"; then
    echo "demo output lacks: $expected"
    failed=1
  fi
done
if [ "$status" -ne 0 ] || [ "$failed" -ne 0 ]; then
  echo "demo exit status $status; its output:"
  cat "$out"
  exit 1
fi
echo "demo ran end to end: $(grep -c ' INFO ' "$out") log lines, exit code 0"
