#!/usr/bin/env bash
# Runs the window's run tests (a Windows .exe) under Wine against native
# simulators: COM1 is blank, COM2 holds the default set's image; Wine's COMn
# links point at their pseudo-terminals. The test checks the logs and the
# progress; afterwards both devices' memory must equal the default image,
# which the test programmed into COM1 and only compared on COM2.
#   cmake/windows-ui-run.sh WINE TEST_EXE [ARGS...]
# Needs TW_NATIVE_BIN (the native build's bin/) and WINEPREFIX.
set -uo pipefail

. "$(dirname "$(realpath "$0")")/windows-sims.sh"
wrapper_start windows-ui-run ui-run "$@"

"$native_bin/trackwarden-cli" defaults "$work/default.set" >/dev/null &&
  "$native_bin/trackwarden-cli" image "$work/default.set" "$work/default.img" >/dev/null ||
  { echo "windows-ui-run: no default image from $native_bin/trackwarden-cli" >&2; exit 1; }
# Files named deviceN: Windows reads COM1.anything as the port itself.
: >"$work/device1.memory"
cp "$work/default.img" "$work/device2.memory"

for port in 1 2; do
  memory=()
  [ -s "$work/device$port.memory" ] && memory=(--memory "$work/device$port.memory")
  start_sim com$port --version 4.5.6 "${memory[@]}" --save "$work/device$port.saved" ||
    { echo "windows-ui-run: the simulator for COM$port did not start" >&2; exit 1; }
  # Wine looks a COM port up in dosdevices when it is opened.
  ln -sfn "$work/com$port" "$WINEPREFIX/dosdevices/com$port"
done

TW_TEST_DEVICES=$(winpath "$work") "$wine" "$exe" "${test_args[@]}"
status=$?

stop_sims
for port in 1 2; do
  if ! cmp -s "$work/device$port.saved" "$work/default.img"; then
    echo "windows-ui-run: the memory of the device behind COM$port is not the default image" >&2
    status=1
  fi
done
[ $status = 0 ] && echo "windows-ui-run: both devices hold the default image"
exit $status
