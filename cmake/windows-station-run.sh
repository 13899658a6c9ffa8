#!/usr/bin/env bash
# Runs the station window's tests (a Windows .exe) under Wine against native
# simulators that the test asks for while it runs: Wine's COM1..COM4 point
# at links in a folder of this script's, named to the test in
# TW_TEST_DEVICES. A request is an empty file there, made by the test once
# what it refers to is written:
#   deviceN.start  with the simulator's options in deviceN.options, one a
#                  line, and what the device holds in deviceN.memory, if
#                  there. Answered by deviceN.ready: "ok" once the device's
#                  link (comN) exists, else why not.
#   deviceN.stop   answered by deviceN.stopped: the simulator's exit status;
#                  its memory is then in deviceN.saved.
# Files named deviceN: Windows reads COMn.anything as the port itself.
# The ports must be in Wine's port list for the window to find them (cmake/
# windows-tests.sh registers COM1..COM4 before Wine's services start).
#   cmake/windows-station-run.sh WINE TEST_EXE [ARGS...]
# Needs TW_NATIVE_BIN (the native build's bin/) and WINEPREFIX.
set -uo pipefail

. "$(dirname "$(realpath "$0")")/windows-sims.sh"
wrapper_start windows-station-run station-run "$@"

# Wine looks a COM port up in dosdevices when it is opened: a port whose
# device is not running has no target, as an unplugged adapter.
for port in 1 2 3 4; do
  ln -sfn "$work/com$port" "$WINEPREFIX/dosdevices/com$port"
done

# One request at a time, in the order of their names; a stop before a start
# of the same port, as the test waits for each answer before the next.
serve() {
  trap 'stop_sims; exit 0' TERM
  local request name base options pid
  while :; do
    for request in "$work"/device*.stop "$work"/device*.start; do
      [ -e "$request" ] || continue
      base=${request%.*}
      name=com${base##*/device}
      case $request in
      *.stop)
        pid=$(eval "echo \${sim_$name:-}")
        status=1
        if [ -n "$pid" ]; then
          kill "$pid" 2>/dev/null
          wait "$pid"
          status=$?
          eval "sim_$name="
        fi
        rm -f "$request"
        printf '%s' "$status" >"$base.stopped.new" && mv "$base.stopped.new" "$base.stopped"
        ;;
      *.start)
        mapfile -t options <"$base.options"
        [ -s "$base.memory" ] && options+=(--memory "$base.memory")
        rm -f "$request" "$base.saved"
        if start_sim "$name" --version 4.5.6 --save "$base.saved" "${options[@]}"; then
          printf ok >"$base.ready.new"
        else
          { echo "trackwarden-sim did not start:"; cat "$work/$name.sim.log"; } >"$base.ready.new"
        fi
        mv "$base.ready.new" "$base.ready"
        ;;
      esac
    done
    sleep 0.02
  done
}
: >"$work/requests"
serve &
server=$!

TW_TEST_DEVICES=$(winpath "$work") "$wine" "$exe" "${test_args[@]}"
status=$?

kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
exit $status
