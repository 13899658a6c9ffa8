#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: every registered test .exe
# through CTest, then the end-to-end run against the native simulator.
#   cmake/windows-tests.sh BUILD_WIN [NATIVE_BIN]
# NATIVE_BIN is the native build's bin/ (trackwarden-sim, trackwarden-cli);
# without it the end-to-end part is skipped with a notice.
set -euo pipefail

build=$(realpath "${1:?usage: windows-tests.sh BUILD_WIN [NATIVE_BIN]}")
native_bin=${2:-}
here=$(dirname "$(realpath "$0")")
. "$here/windows-server-log.sh"
. "$here/windows-wine.sh"
use_wine "$build"

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows-tests: creating the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  "$wineserver" -w
fi

# Wine has no Arial, the window's font: Liberation Sans has its metrics.
"$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d "Liberation Sans" /f >/dev/null 2>&1
# COM1..COM4 in the system's port list, as adapters would be, for the
# station window to find: Wine's services make the list when they start
# (below), from these. The run-test wrappers point them at their simulators.
for port in 1 2 3 4; do
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM$port /t REG_SZ /d "$build/bin/station-run/com$port" /f >/dev/null 2>&1
done

# One server for every test: starting it per program costs two seconds each.
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w
"$wineserver" -p 2>"$build/wineserver.log"
xvfb=
trap '"$wineserver" -k 2>/dev/null || true; [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null' EXIT
# The first program of a session starts Wine's own services; two first
# programs at once can hang, so one goes alone.
"$wine" cmd.exe /c exit >/dev/null 2>&1 || true

# A display for the tests on the window's own platform.
start_display "$build/xvfb-display" || true

status=0
# The window's run tests drive native simulators from there.
[ -z "$native_bin" ] || export TW_NATIVE_BIN=$(realpath "$native_bin")
ctest --test-dir "$build" --output-on-failure -j2 --timeout 120 || status=1
server_said "$build/wineserver.log" windows-tests

if [ -n "$native_bin" ]; then
  "$here/windows-e2e.sh" "$build/bin" "$(realpath "$native_bin")" || status=1
else
  echo "windows-tests: no native bin/ given, end-to-end run skipped"
fi

exit $status
