#!/usr/bin/env bash
# Creates the test Wine prefix (once) and prepares it: test CA trusted, http URLs handed to the
# URL recorder. Usage: setup-prefix.sh <windows build dir> <prefix dir> <certificate dir>
# Expects DISPLAY to name a running X server (Xvfb) and HOME to be the test bed's own; every Wine
# tool goes through ORV_WINE and ORV_WINESERVER (scripts/wine-env.sh).
set -euo pipefail
win_build=$1 prefix=$2 certs=$3
wine=${ORV_WINE:-wine} wineserver=${ORV_WINESERVER:-wineserver}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  "$wine" wineboot -i >/dev/null 2>&1
  "$wineserver" -w
fi
"$wine" "$win_build/tests/trustca.exe" "$("$wine" winepath -w "$certs/ca.der")"
if [ -f "$win_build/tests/url_recorder.exe" ]; then
  recorder=$("$wine" winepath -w "$win_build/tests/url_recorder.exe")
  "$wine" reg add 'HKLM\Software\Classes\http\shell\open\command' /ve /d "\"$recorder\" \"%1\"" /f >/dev/null
fi
# The prefix is copied for the other slots once this script ends: its wineserver must have written
# the registry and ended by then (bounded: a persistent server left by an interrupted run never ends).
timeout 120 "$wineserver" -w || true
