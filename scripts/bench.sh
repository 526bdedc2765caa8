#!/usr/bin/env bash
# Builds the benchmark programmes natively (Release) and runs them, then times the CRC-32, the
# SHA-256 and the installer check of the Windows build under Wine (32-bit where this machine starts
# 32-bit programs, else 64-bit; see scripts/wine-env.sh), then the installer download (see
# bench_download below). Prints the ratios each benchmark computes in its run.
# `scripts/bench.sh download` runs the download benchmark alone.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ORV_BUILD_DIR:-$PWD/build}
bash scripts/install-deps.sh
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
orv_choose_wine_arch
win_build=$build/bench-win-$ORV_WINE_ARCH
wine_run() {
  WINEPREFIX=${WINEPREFIX:-$build/bench-prefix-$ORV_WINE_ARCH} WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$ORV_WINE" "$@"
}

# The installer download: 256 MiB served by a local nginx, fetched by the stub's own download
# (download_probe.exe: DownloadInstaller over WinHttpTransfer into a new held file), by a bare
# synchronous WinHTTP loop that writes the file the same way (bare_download.exe) and by curl, three
# rounds with the three in turn; prints the median time of each, the stub's speed as a share of the
# other two, and the stub's peak of private memory.
bench_download() {
  if ! command -v nginx >/dev/null && [ ! -x /usr/sbin/nginx ]; then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends nginx-light >/dev/null
  fi
  cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE="$ORV_TOOLCHAIN" -DORV_BUILD_TESTS=ON >/dev/null
  cmake --build "$win_build" -j"$(nproc)" --target download_probe bare_download
  local dir port nginx_pid
  dir=$(mktemp -d)
  mkdir -p "$dir/www" "$dir/tmp"
  head -c $((256 * 1024 * 1024)) /dev/urandom >"$dir/www/setup.exe"
  # nginx's worker may run as another user (nobody, when started as root).
  chmod 755 "$dir" "$dir/www"
  chmod 644 "$dir/www/setup.exe"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat >"$dir/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events {}
http {
  access_log off;
  sendfile on;
  client_body_temp_path $dir/tmp; proxy_temp_path $dir/tmp; fastcgi_temp_path $dir/tmp;
  uwsgi_temp_path $dir/tmp; scgi_temp_path $dir/tmp;
  server { listen 127.0.0.1:$port; root $dir/www; }
}
CONF
  "$(command -v nginx || echo /usr/sbin/nginx)" -p "$dir" -c "$dir/nginx.conf" &
  nginx_pid=$!
  local url=http://localhost:$port/setup.exe
  for _ in $(seq 100); do curl -sfI "$url" >/dev/null && break; sleep 0.1; done
  local out="$dir/out.bin" win_out="Z:${dir//\//\\}\\out.bin" stub=() bare=() curl=() peak=0 line
  echo "== download of 256 MiB from a local nginx ($ORV_WINE_ARCH under Wine: $ORV_WINE_REASON; curl natively)"
  for round in 1 2 3; do
    rm -f "$out"
    line=$(wine_run "$win_build/tests/download_probe.exe" --out "$win_out" --url "$url" | grep '^result=' | tr -d '\r')
    [[ $line == "result=done size=268435456 "* ]] || { echo "stub: $line" >&2; kill "$nginx_pid"; return 1; }
    stub+=("$(sed 's/.* ms=\([0-9]*\).*/\1/' <<<"$line")")
    peak=$(sed 's/.* peak_kib=\([0-9]*\).*/\1/' <<<"$line")
    rm -f "$out"
    line=$(wine_run "$win_build/tests/bare_download.exe" "$url" "$win_out" | tr -d '\r')
    [[ $line == "result=done size=268435456 "* ]] || { echo "bare loop: $line" >&2; kill "$nginx_pid"; return 1; }
    bare+=("$(sed 's/.* ms=\([0-9]*\).*/\1/' <<<"$line")")
    rm -f "$out"
    curl+=("$(curl -s -o "$out" -w '%{time_total}' "$url" | awk '{printf "%.0f", $1 * 1000}')")
    echo "round $round: stub ${stub[-1]} ms, bare loop ${bare[-1]} ms, curl ${curl[-1]} ms; stub's peak private memory $peak KiB"
  done
  kill "$nginx_pid"
  wait "$nginx_pid" 2>/dev/null || true
  rm -rf "$dir"
  median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
  local s b c
  s=$(median "${stub[@]}") b=$(median "${bare[@]}") c=$(median "${curl[@]}")
  echo "median of 3: stub $s ms, bare WinHTTP loop $b ms (both under Wine), curl $c ms (natively)"
  awk -v s="$s" -v b="$b" -v c="$c" 'BEGIN {
    printf "stub speed / bare loop speed = %.2f (at least 0.8 asked); stub speed / curl speed = %.2f\n", b / s, c / s }'
}

if [ "${1:-}" = download ]; then
  bench_download
  exit
fi
cmake -S . -B "$build/bench" -DCMAKE_BUILD_TYPE=Release -DORV_BENCH=ON >/dev/null
cmake --build "$build/bench" -j"$(nproc)"
for bench in "$build"/bench/tests/*_bench; do
  echo "== $(basename "$bench")"
  "$bench"
done
cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE="$ORV_TOOLCHAIN" -DORV_BUILD_TESTS=ON >/dev/null
cmake --build "$win_build" -j"$(nproc)" --target crc32_speed sums_speed
for speed in crc32_speed sums_speed; do
  echo "== $speed.exe ($ORV_WINE_ARCH under Wine: $ORV_WINE_REASON)"
  wine_run "$win_build/tests/$speed.exe"
done
bench_download
if [ "$ORV_WINE_ARCH" != i686 ]; then
  # The shipped architecture is built all the same, to be run where 32-bit programs start.
  cmake -S . -B "$build/bench-win-i686" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DORV_BUILD_TESTS=ON >/dev/null
  cmake --build "$build/bench-win-i686" -j"$(nproc)" --target sums_speed
  echo "== sums_speed.exe (i686): built as $build/bench-win-i686/tests/sums_speed.exe, not run: $ORV_WINE_REASON"
fi
