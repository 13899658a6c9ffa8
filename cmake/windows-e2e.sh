#!/usr/bin/env bash
# End to end under Wine: the Windows CLI programs and compares a set through
# Wine's COM1 into the native simulator on a pseudo-terminal, and must log
# what the Linux CLI logs for the same run; a silent device must fail it;
# the files both builds write must be byte-identical.
#   cmake/windows-e2e.sh WIN_BIN NATIVE_BIN
# The same in fast exchange mode, and a fast read.
# Expects WINEPREFIX (and a Wine set up as windows-tests.sh leaves it).
set -uo pipefail

win_bin=$(realpath "${1:?usage: windows-e2e.sh WIN_BIN NATIVE_BIN}")
native_bin=$(realpath "${2:?usage: windows-e2e.sh WIN_BIN NATIVE_BIN}")
. "$(dirname "$(realpath "$0")")/windows-wine.sh"
use_wine "$(dirname "$win_bin")"
: "${WINEPREFIX:?windows-e2e: WINEPREFIX is not set}"
export WINEDEBUG=-all

sim=$native_bin/trackwarden-sim
cli=$native_bin/trackwarden-cli
wcli=$win_bin/trackwarden-cli.exe
for f in "$sim" "$cli" "$wcli"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "windows-e2e: missing $f" >&2; exit 1; }
done

work=$(dirname "$win_bin")/e2e
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "windows-e2e: FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "windows-e2e: ok: $*"; }
# Windows' text-mode stdout ends lines with CR LF.
nocr() { tr -d '\r' <"$1"; }
here=$(dirname "$(realpath "$0")")
. "$here/windows-sims.sh"
. "$here/windows-server-log.sh"
start_sim_or_fail() { start_sim "$@" || { fail "the simulator for $1 did not start"; return 1; }; }

# Files: the same set and image, byte for byte, from both builds.
"$cli" defaults "$work/linux.set" >/dev/null
"$wine" "$wcli" defaults "$(winpath "$work/windows.set")" >/dev/null 2>"$work/defaults.err"
if cmp -s "$work/linux.set" "$work/windows.set"; then pass "defaults file identical"; else fail "defaults: the settings files differ"; fi
"$cli" image "$work/linux.set" "$work/linux.img" >/dev/null
"$wine" "$wcli" image "$(winpath "$work/linux.set")" "$(winpath "$work/windows.img")" >/dev/null 2>&1
if cmp -s "$work/linux.img" "$work/windows.img"; then pass "device image identical"; else fail "image: the device images differ"; fi

# An output that is its own input is refused, and a read-only set is never replaced.
cp "$work/linux.set" "$work/keep.set"
"$wine" "$wcli" image "$(winpath "$work/keep.set")" "$(winpath "$work/keep.set")" >/dev/null 2>&1
rc=$?
if [ $rc = 2 ] && cmp -s "$work/keep.set" "$work/linux.set"; then pass "image over its own set refused"; else fail "image over its own set: exit $rc"; fi
cp "$work/linux.set" "$work/frozen.set"
chmod 444 "$work/frozen.set"
"$wine" "$wcli" defaults "$(winpath "$work/frozen.set")" >/dev/null 2>&1
rc=$?
if [ $rc = 2 ]; then pass "read-only set not replaced"; else fail "read-only set: exit $rc"; fi

# Wine rewrites its dosdevices links from this key when the server starts.
# Their frame logs tell a run that never reached its port from one that lost its output.
start_sim_or_fail com1 --save "$work/device.bin" --log "$work/com1.frames" || exit 1
start_sim_or_fail com2 --silent --log "$work/com2.frames" || exit 1
start_sim_or_fail com3 --hang-up-after 3 --log "$work/com3.frames" || exit 1
start_sim_or_fail com12 || exit 1
start_sim_or_fail native --save "$work/native.bin" || exit 1
start_sim_or_fail nativesilent --silent || exit 1
start_sim_or_fail nativehangup --hang-up-after 3 || exit 1
for port in 1 2 3 12; do
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /t REG_SZ /d "$work/com$port" /f >/dev/null 2>&1
done
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w
"$wineserver" -p >/dev/null 2>"$work/wineserver.log"
"$wine" cmd.exe /c exit >/dev/null 2>&1

run_win() { # NAME ARGS...: the Windows CLI, its stdout, stderr and status kept under NAME
  local name=$1
  shift
  timeout 300 "$wine" "$wcli" "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.rc"
}
run_linux() {
  local name=$1
  shift
  timeout 300 "$cli" "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.rc"
}

set_w=$(winpath "$work/linux.set")
# Each run reads its own copy: the file routines share nothing, so two runs
# reading one file at the same moment would refuse each other.
cp "$work/linux.set" "$work/silent.set"
cp "$work/linux.set" "$work/hangup.set"
silent_w=$(winpath "$work/silent.set")
hangup_w=$(winpath "$work/hangup.set")
started=$(date +%s)
( run_win program program "$set_w" --port COM1 && run_win compare compare "$set_w" --port COM1 ) & a=$!
( run_linux lprogram program "$work/linux.set" --port "$work/native" &&
  run_linux lcompare compare "$work/linux.set" --port "$work/native" ) & b=$!
( run_win silent program "$silent_w" --port COM2; run_linux lsilent program "$work/linux.set" --port "$work/nativesilent" ) & c=$!
( TW_TEST_COM=12 timeout 300 "$wine" "$win_bin/test_win_serial.exe" >"$work/serial.out" 2>&1; echo $? >"$work/serial.rc" ) & d=$!
# A device unplugged part-way: the run must end, not hang or spin.
( run_win hangup program "$hangup_w" --port COM3; run_linux lhangup program "$work/hangup.set" --port "$work/nativehangup" ) & e=$!
wait $a $b $c $d $e
echo "windows-e2e: the runs took $(($(date +%s) - started)) s"

# What a failed check leaves in the log: a rerun overwrites $work.
evidence() { # NAME LINUX_NAME SIM
  local f
  for f in "$1" "$2"; do
    echo "    $f: exit $(cat "$work/$f.rc" 2>/dev/null || echo none)," \
      "stdout $(wc -c <"$work/$f.out") B, stderr $(wc -c <"$work/$f.err") B"
  done
  echo "    the simulator on $3, and the last of its $(wc -l <"$work/$3.frames") frame log lines:"
  sed 's/^/      /' "$work/$3.sim.log"
  tail -n 4 "$work/$3.frames" | sed 's/^/      /'
}
check_run() { # NAME LINUX_NAME STATUS WHAT SIM
  local rc
  rc=$(cat "$work/$1.rc" 2>/dev/null || echo none)
  if [ "$rc" != "$3" ]; then
    fail "$4: exit $rc, not $3"; sed 's/^/    /' "$work/$1.out" "$work/$1.err"; evidence "$1" "$2" "$5"
  elif ! diff <(nocr "$work/$1.out") "$work/$2.out" >"$work/$1.diff" ||
       ! diff <(nocr "$work/$1.err") "$work/$2.err" >>"$work/$1.diff"; then
    fail "$4: the log differs from Linux"; sed 's/^/    /' "$work/$1.diff"; evidence "$1" "$2" "$5"
  else
    pass "$4: exit $3, the same $(cat "$work/$1.out" "$work/$1.err" | wc -l) log lines as on Linux"
  fi
}
check_run program lprogram 0 "program" com1
check_run compare lcompare 0 "compare" com1
check_run silent lsilent 1 "silent device" com2
check_run hangup lhangup 1 "device hung up" com3
if grep -qx 'Brak odpowiedzi od urządzenia!' <(nocr "$work/silent.out"); then
  pass "silent device: no-reply line logged"
else
  fail "silent device: no no-reply line"
fi

# Fast exchange: the lines the Linux CLI logs, apart from the line of a fallback. Wine hands
# a port's bytes over one at a time, and on a busy machine a reply that stalls makes a run give
# the fast exchange up, as it is meant to; its record must then say so, and its log once.
fast_off='Wymiana szybka wyłączona: urządzenie odpowiada inaczej.'
run_win fast compare "$set_w" --port COM1 --fast --gap 2
run_linux lfast compare "$work/linux.set" --port "$work/native" --fast --gap 2
for name in fast lfast; do
  for stream in out err; do nocr "$work/$name.$stream" | grep -vxF "$fast_off" >"$work/${name}f.$stream"; done
  cp "$work/$name.rc" "$work/${name}f.rc"
done
check_run fastf lfastf 0 "fast compare (without a fallback's line)" com1
run_win fastread read --port COM1 "$(winpath "$work/fast-read.set")" --fast --json
fast=$(nocr "$work/fastread.out" | sed -n 's/.*"fast":"\([a-z]*\)".*/\1/p')
fell=$(nocr "$work/fastread.err" | grep -cxF "$fast_off")
if [ "$(cat "$work/fastread.rc")" = 0 ] && grep -q '"result":"ok"' <(nocr "$work/fastread.out") &&
   cmp -s "$work/fast-read.set" "$work/linux.set" &&
   { [ "$fast/$fell" = on/0 ] || [ "$fast/$fell" = fallback/1 ]; }; then
  pass "fast read: the set read back, \"fast\":\"$fast\" in its record and $fell fallback line in its log"
else
  fail "fast read: \"fast\":\"$fast\", $fell fallback lines"; sed 's/^/    /' "$work/fastread.out" "$work/fastread.err"
fi

# The simulator saves its memory when it is stopped.
kill "$sim_com1"
wait "$sim_com1" 2>/dev/null
if cmp -s "$work/device.bin" "$work/linux.img"; then
  pass "device memory equals the image"
else
  fail "the device's memory differs from the image"
fi

if [ "$(cat "$work/serial.rc" 2>/dev/null)" = 0 ] && ! grep -q SKIPPED "$work/serial.out"; then
  pass "serial port tests on COM12 ($(grep -c '^\[       OK' "$work/serial.out") cases)"
else
  fail "serial port tests on COM12"; grep -E 'Failure|FAILED|SKIPPED|Expected|Which is|Actual' "$work/serial.out" | sed 's/^/    /'
fi

# The CLI takes COM10 and above on Windows: COM12's device answers (its memory is empty, so the
# comparison itself fails).
run_win com12 compare "$silent_w" --port COM12
if [ "$(cat "$work/com12.rc")" = 1 ] && grep -qx 'Wersja urządzenia: "1.2.3".' <(nocr "$work/com12.out"); then
  pass "compare on COM12: the device answered"
else
  fail "compare on COM12"; sed 's/^/    /' "$work/com12.out" "$work/com12.err"
fi

# Many ports at once: a silent device and a port Wine does not have, a child each.
run_win batch compare "$silent_w" --port COM2 --port COM8 --json
if [ "$(cat "$work/batch.rc")" = 1 ] && grep -q '"port":"COM2".*"result":"no-reply"' <(nocr "$work/batch.out") &&
   grep -q '"port":"COM8".*"result":"port".*"error":"' <(nocr "$work/batch.out") &&
   grep -qx 'COM2: Brak odpowiedzi od urządzenia!' <(nocr "$work/batch.err"); then
  pass "two ports at once: a JSON record each, the log prefixed with the port"
else
  fail "two ports at once"; sed 's/^/    /' "$work/batch.out" "$work/batch.err"
fi
run_win ports ports
if [ "$(cat "$work/ports.rc")" = 0 ] && [ -s "$work/ports.out" ]; then
  pass "ports: $(nocr "$work/ports.out" | head -4 | tr '\n' ';')"
else
  fail "ports"; sed 's/^/    /' "$work/ports.out" "$work/ports.err"
fi

# After the checks, for a failed one as well.
server_said "$work/wineserver.log" windows-e2e
[ $failures = 0 ] && echo "windows-e2e: all passed" || echo "windows-e2e: $failures failed"
[ $failures = 0 ]
