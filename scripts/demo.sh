#!/usr/bin/env bash
# Runs a signed build of orvsetup.exe end to end under Wine against the bundled local demo server:
# a key made with orvpublish keygen, the configuration signed with orvpublish sign and checked by
# the stub over HTTPS, a demo installer downloaded with the progress dialog, checksum, launch,
# outcome.
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

bash scripts/install-deps.sh
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
orv_choose_wine_arch
echo "== Running the demo as $ORV_WINE_ARCH under $([ "$ORV_WINE_ARCH" = i686 ] && echo 32 || echo 64)-bit Wine, because $ORV_WINE_REASON"
[ "$ORV_WINE_ARCH" = i686 ] || echo "== (the shipped program is the 32-bit build: see the README's \"Building the product\")"
echo "== Building the stub and the demo server"
jobs=$(nproc)
win=$build/win demo=$build/demo
[ "$ORV_WINE_ARCH" = i686 ] || win=$build/win-$ORV_WINE_ARCH demo=$build/demo-$ORV_WINE_ARCH
# ORV_DEMO_NATIVE_BUILD: a native build folder whose orv_make_certs, orv_demo_server and orvpublish
# are built already (the test command's); otherwise the demo builds them in a folder of its own.
native=${ORV_DEMO_NATIVE_BUILD:-$build/demo-native}
if [ -z "${ORV_DEMO_NATIVE_BUILD:-}" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$native" -j"$jobs" --target orv_make_certs orv_demo_server orvpublish >/dev/null
fi
orvpublish=$native/orvpublish
mkdir -p "$demo/keys"
if [ ! -f "$demo/keys/demo.pub.pem" ]; then
  echo "== Making the demo's signing key: orvpublish keygen"
  "$orvpublish" keygen "$demo/keys/demo"
fi
cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE="$ORV_TOOLCHAIN" -DORV_BUILD_TESTS=ON -DORV_TEST_ENDPOINTS=ON \
  -DORV_DEMO_CONFIG_KEYS="$demo/keys/demo.pub.pem" >/dev/null
cmake --build "$win" -j"$jobs" --target orvsetup_demo demo_installer orvwatch trustca url_recorder >/dev/null

mkdir -p "$demo/home" "$demo/certs"
export HOME=$demo/home USER=$(id -un) WINEPREFIX=$demo/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export ORV_TESTBED_CERTS=$demo/certs
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  "$ORV_WINESERVER" -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
answer_after=3600000
if [ -z "${DISPLAY:-}" ]; then
  orv_start_xvfb
  pids+=("$ORV_XVFB_PID")
  answer_after=0
  echo "== No display: running on a private Xvfb ($DISPLAY); error boxes are answered automatically"
fi
[ -f "$demo/certs/ca.der" ] || "$native/tests/orv_make_certs" "$demo/certs"
echo "== Preparing the Wine prefix $WINEPREFIX (the first time takes a while)"
bash tests/bed/setup-prefix.sh "$win" "$WINEPREFIX" "$demo/certs"

"$native/tests/orv_demo_server" --installer "$win/tests/demo_installer.exe" \
  --version "$version" --shortcut "$shortcut" --rate 128 --document-out "$demo/orv.json" >"$demo/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q "endpoints" "$demo/server.log" 2>/dev/null && break; sleep 0.1; done
read -r _ _ _ config_url analytics_host cancel_page_base < <(grep -m1 "endpoints" "$demo/server.log") ||
  { cat "$demo/server.log"; exit 1; }
echo "== The demo servers: configuration $config_url, analytics $analytics_host, cancellation page $cancel_page_base"
echo "== Signing the configuration: orvpublish sign --key $demo/keys/demo.key.pem $demo/orv.json"
rm -f "$demo/orv.json.sig"
"$orvpublish" sign --key "$demo/keys/demo.key.pem" "$demo/orv.json"

log=$WINEPREFIX/drive_c/users/$USER/AppData/Roaming/Tavlin/ORVD.log
lines_before=$( [ -f "$log" ] && wc -l <"$log" || echo 0)
rm -f "$demo/installer-record.txt" "$demo/browser.txt" "$demo/watch.txt"
echo "== Running orvsetup.exe, built with the demo's key (the demo installer will exit with $exit_code)"
winepath() { "$ORV_WINE" winepath -w "$1"; }
ORV_DEMO_EXIT_CODE=$exit_code ORV_DEMO_RECORD=$(winepath "$demo/installer-record.txt") \
ORV_URL_RECORD=$(winepath "$demo/browser.txt") ORV_TEST_CONFIG_URL=$config_url \
ORV_TEST_ANALYTICS_HOST=$analytics_host ORV_TEST_CANCEL_PAGE_BASE=$cancel_page_base \
  "$ORV_WINE" "$win/tests/orvwatch.exe" --report "$(winepath "$demo/watch.txt")" --answer-after "$answer_after" \
  -- "$(winepath "$win/tests/orvsetup_demo.exe")" "${stub_args[@]}" >"$demo/stub-output.txt" 2>&1 || true
# Let what the stub started (the browser that opens the cancellation page) finish.
"$ORV_WINESERVER" -w

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
