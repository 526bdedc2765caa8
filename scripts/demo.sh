#!/usr/bin/env bash
# Runs orvsetup.exe end to end under Wine against the bundled local demo server: configuration
# over HTTPS, a demo installer downloaded with the progress dialog, checksum, launch, outcome.
# Uses your X display when DISPLAY is set, otherwise a private Xvfb.
#   bash scripts/demo.sh [--exit-code N] [--version TEXT] [--no-shortcut] [-- STUB ARGUMENTS...]
# --exit-code: what the demo installer exits with (0 success, 2 or 5 cancelled, else failed).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${ORV_BUILD_DIR:-$root/build}
exit_code=0 version=4.1.674 shortcut=true
stub_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --exit-code) exit_code=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --no-shortcut) shortcut=false; shift ;;
    --) shift; stub_args=("$@"); break ;;
    *) echo "usage: $0 [--exit-code N] [--version TEXT] [--no-shortcut] [-- STUB ARGUMENTS...]" >&2; exit 2 ;;
  esac
done

echo "== Installing what is missing, building the stub and the demo server"
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B "$build/win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DORV_BUILD_TESTS=ON \
  -DORV_CONFIG_URL=https://localhost:18443/orv.json -DORV_ANALYTICS_HOST=localhost:18444 \
  "-DORV_CANCEL_PAGE_BASE=http://localhost:18081/installation-cancelled/?v=" >/dev/null
cmake --build "$build/win" -j"$jobs" --target orvsetup demo_installer orvwatch trustca url_recorder >/dev/null
cmake -S . -B "$build/demo-native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/demo-native" -j"$jobs" --target orv_make_certs orv_demo_server >/dev/null

demo=$build/demo
mkdir -p "$demo/home" "$demo/certs"
export HOME=$demo/home USER=$(id -un) WINEPREFIX=$demo/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export ORV_TESTBED_CERTS=$demo/certs
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
answer_after=3600000
if [ -z "${DISPLAY:-}" ]; then
  display=80
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  answer_after=0
  echo "== No display: running on a private Xvfb ($DISPLAY); error boxes are answered automatically"
fi
[ -f "$demo/certs/ca.der" ] || "$build/demo-native/tests/orv_make_certs" "$demo/certs"
echo "== Preparing the Wine prefix $WINEPREFIX (the first time takes a while)"
bash tests/bed/setup-prefix.sh "$build/win" "$WINEPREFIX" "$demo/certs"

"$build/demo-native/tests/orv_demo_server" --installer "$build/win/tests/demo_installer.exe" \
  --version "$version" --shortcut "$shortcut" --rate 128 >"$demo/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q "ready" "$demo/server.log" 2>/dev/null && break; sleep 0.1; done
grep -q "ready" "$demo/server.log" || { cat "$demo/server.log"; exit 1; }

log=$WINEPREFIX/drive_c/users/$USER/AppData/Roaming/Tavlin/ORVD.log
lines_before=$( [ -f "$log" ] && wc -l <"$log" || echo 0)
rm -f "$demo/installer-record.txt" "$demo/browser.txt" "$demo/watch.txt"
echo "== Running orvsetup.exe (the demo installer will exit with $exit_code)"
ORV_DEMO_EXIT_CODE=$exit_code ORV_DEMO_RECORD=$(winepath -w "$demo/installer-record.txt") \
ORV_URL_RECORD=$(winepath -w "$demo/browser.txt") \
  wine "$build/win/tests/orvwatch.exe" --report "$(winepath -w "$demo/watch.txt")" --answer-after "$answer_after" \
  -- "$(winepath -w "$build/win/orvsetup.exe")" "${stub_args[@]}" >"$demo/stub-output.txt" 2>&1 || true
# Let what the stub started (the browser that opens the cancellation page) finish.
wineserver -w

echo
echo "== What the servers received"
cat "$demo/server.log"
echo
echo "== The stub's log ($log), this run"
tail -n +"$((lines_before + 1))" "$log" 2>/dev/null || echo "(no log)"
echo
echo "== What the demo installer was started with"
cat "$demo/installer-record.txt" 2>/dev/null && echo || echo "(the installer did not run)"
[ -s "$demo/browser.txt" ] && { echo "== Pages opened in the browser"; cat "$demo/browser.txt"; }
grep -E "^msgbox" "$demo/watch.txt" 2>/dev/null | cut -f2,3 | sed 's/^/== Message box: /' || true
desktop=$(readlink -f "$WINEPREFIX/drive_c/users/$USER/Desktop")
[ -f "$desktop/Continue installation.lnk" ] && echo "== Resume shortcut: $desktop/Continue installation.lnk"
code=$(grep -E "^exit" "$demo/watch.txt" 2>/dev/null | cut -f2)
echo "== orvsetup.exe exit code: ${code:-unknown}"
echo "== Look at: the log above ($log), the Wine prefix $WINEPREFIX, the server log $demo/server.log"
