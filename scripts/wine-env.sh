# Sourced by the test and demo scripts once the dependencies are installed. Chooses the
# architecture of the Windows-side test builds and the Wine that runs them:
#   i686    the shipped architecture under 32-bit Wine, where this machine can start 32-bit programs;
#   x86_64  the same code built for 64-bit Windows under 64-bit Wine, where it cannot.
# ORV_WINE_ARCH=i686|x86_64 forces the choice; ORV_I386_LOADER names another loader to try (to
# check the choice itself). Sets ORV_WINE_ARCH, ORV_WINE_REASON, ORV_TOOLCHAIN,
# ORV_WINE (the loader), ORV_WINESERVER and WINELOADER/WINESERVER for the Wine tools, and defines
# orv_start_xvfb.

orv_choose_wine_arch() {
  local loader=${ORV_I386_LOADER:-/lib/ld-linux.so.2} probe
  case ${ORV_WINE_ARCH:-} in
    i686 | x86_64) ORV_WINE_REASON="forced by ORV_WINE_ARCH=$ORV_WINE_ARCH" ;;
    "")
      if [ ! -e "$loader" ]; then
        ORV_WINE_ARCH=x86_64 ORV_WINE_REASON="this machine has no 32-bit loader ($loader is missing)"
      elif probe=$("$loader" --version 2>&1 >/dev/null); then
        ORV_WINE_ARCH=i686 ORV_WINE_REASON="this machine starts 32-bit programs ($loader runs)"
      else
        ORV_WINE_ARCH=x86_64
        ORV_WINE_REASON="this machine cannot start 32-bit programs ($loader: ${probe##*: })"
      fi
      ;;
    *)
      echo "ORV_WINE_ARCH must be i686 or x86_64, not '$ORV_WINE_ARCH'" >&2
      return 2
      ;;
  esac
  ORV_TOOLCHAIN=cmake/mingw-$ORV_WINE_ARCH.cmake
  if [ "$ORV_WINE_ARCH" = i686 ]; then
    # As Debian's wine command does: the 32-bit loader, which hands 64-bit programs on by itself.
    ORV_WINE=wine ORV_WINESERVER=wineserver
    unset WINEARCH
  else
    # /usr/bin/wine prefers the 32-bit loader whenever wine32 is installed: name the 64-bit one.
    ORV_WINE=/usr/lib/wine/wine64 ORV_WINESERVER=/usr/lib/wine/wineserver64
    export WINELOADER=$ORV_WINE WINESERVER=$ORV_WINESERVER WINEARCH=win64
  fi
  export ORV_WINE_ARCH ORV_WINE_REASON ORV_TOOLCHAIN ORV_WINE ORV_WINESERVER
}

# Starts a private Xvfb on a display it picks itself (race-free against other runs on the same
# machine) and exports DISPLAY; its process id is in ORV_XVFB_PID.
orv_start_xvfb() {
  local file
  file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$file" >/dev/null 2>&1 &
  ORV_XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$file" ] && break
    kill -0 "$ORV_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  local display
  display=$(tr -d '[:space:]' <"$file")
  rm -f "$file"
  if [ -z "$display" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$display"
}
