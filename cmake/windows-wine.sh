# Sourced by the Wine scripts: Wine, and a display for it.
# Wine is found once, by the cross build's toolchain file (TW_WINE, which
# CMake also runs the tests with); the scripts take it from that build's
# cache, and its server from beside it.

# use_wine BUILD_WIN: sets wine and wineserver, or ends the script.
use_wine() {
  wine=$(sed -n 's/^TW_WINE:[A-Z]*=//p' "$1/CMakeCache.txt" 2>/dev/null)
  if [ -z "$wine" ] || [ ! -x "$wine" ]; then
    echo "$(basename "$0"): no Wine in $1/CMakeCache.txt (TW_WINE; install wine64, then make win-build)" >&2
    exit 1
  fi
  wineserver=$(dirname "$wine")/wineserver
  [ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
  [ -n "$wineserver" ] || { echo "$(basename "$0"): no wineserver beside $wine" >&2; exit 1; }
}

# start_display FILE: an Xvfb display of our own for programs on the
# window's own platform; sets DISPLAY and xvfb (its pid, for the exit trap).
# FILE receives the display's number.
start_display() {
  xvfb=
  command -v Xvfb >/dev/null || return 1
  rm -f "$1"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$1" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 200); do [ -s "$1" ] && break; sleep 0.05; done
  [ -s "$1" ] || return 1
  export DISPLAY=:$(head -n 1 "$1")
}
