# The checks inside the guest, against the simulated devices on the host
# behind its two serial lines: the 16550 UART (ttyS1, the 8250 driver) and
# the FTDI adapter (ttyUSB0, ftdi_sio). Every line of interest starts with
# "guest: "; the host counts the FAIL lines. /config.run holds this guest's
# run set: LABEL|ADAPTER LATENCY TIMER (ms, empty: as it is)|CLI OPTIONS.
# The first guest (/config.first) also checks ports, Ctrl-C and a held port.
cli=/tw/trackwarden-cli
uart=/dev/ttyS1
usb=/dev/ttyUSB0
cd /tw || exit 1

say() { echo "guest: $*"; }
ok() { say "ok $*"; }
fail() { say "FAIL $*"; }
check() { # DESCRIPTION COMMAND...
  what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
has() { grep -qF -- "$2" "$1"; }
field() { # FILE KEY: the first value of "KEY": in JSON records, quotes dropped
  sed -n "s/.*\"$2\":\"\{0,1\}\([^\",}]*\).*/\1/p" "$1" | head -n 1
}
# A run's time against the protocol's floor: five 10 ms ticks of quiet per
# exchange, the wake-up's and the reset's five sends 100 ms apart.
ms() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }
figure() { # WHAT MS EXCHANGES
  case $2 in '' | *[!0-9]*) fail "$1: no time in its record"; return ;; esac
  floor=$(($3 * 50 + 1000))
  say "figure $1: $(ms "$2") s, floor $(ms $floor) s, $(ms $(($2 * 1000 / floor))) x"
}
driver() { basename "$(realpath "/sys/class/tty/${1##*/}/device/driver")"; }

$cli defaults Sets/guest.set > /dev/null && $cli image Sets/guest.set /tmp/guest.img > /dev/null ||
  fail "the set and its image"

byid=$(ls /dev/serial/by-id/)

# --- ports: the adapter as the kernel and udev show it ---
ports_checks() {
  $cli ports > /tmp/ports 2>&1
  cat /tmp/ports
  latency=$(cat /sys/class/tty/ttyUSB0/device/latency_timer)
  grep -F "$usb " /tmp/ports > /tmp/ports.usb
  check "ports: the adapter's driver" has /tmp/ports.usb "sterownik: ftdi_sio"
  check "ports: the adapter's USB ids" has /tmp/ports.usb "USB: 0403:6001"
  check "ports: the adapter's by-id name" has /tmp/ports.usb "stała nazwa: /dev/serial/by-id/$byid"
  check "ports: the adapter's latency timer ($latency ms)" has /tmp/ports.usb "opóźnienie adaptera: $latency ms"
  check "ports: the command that sets it to 1 ms" has /tmp/ports.usb \
    "zmiana na 1 ms: echo 1 | sudo tee /sys/class/tty/ttyUSB0/device/latency_timer"
  check "ports: the UART's driver" has /tmp/ports "$uart  sterownik: serial"
  check "ports: root may open them" has /tmp/ports.usb "dostęp: tak"
  su operator -c "$cli ports" > /tmp/ports.operator 2>&1
  grep -F "$usb " /tmp/ports.operator > /tmp/ports.operator.usb
  check "ports: a user outside dialout is told how to get in" has /tmp/ports.operator.usb \
    "brak dostępu: sudo usermod -aG dialout operator (potem ponowne zalogowanie)"
  su tech -c "$cli ports" > /tmp/ports.tech 2>&1
  check "ports: a user in dialout may open it" has /tmp/ports.tech "$usb  stała nazwa"
  grep -F "$usb " /tmp/ports.tech | grep -qF "dostęp: tak" && ok "ports: dialout's access" || fail "ports: dialout's access"
}

# WHAT RECORD LOG PREFIX DRIVER: the record's fast exchange against what the
# run set asked for ($fast) and what the run's log says (its lines start with
# PREFIX). A fast run may give it up once, as specified, when a reply comes
# otherwise (an emulated line stalls when the host is busy); the runs that
# kept it are counted per driver (fast_kept_uart, fast_kept_usb).
line_of() { [ "$1" = "$uart" ] && echo uart || echo usb; }
fast_kept() {
  got=$(field "$2" fast)
  fell=$(grep -c "^$4Wymiana szybka wyłączona" "$3")
  case $fast/$got in
    off/off) ok "$1, fast exchange off" ;;
    on/on) check "$1, fast exchange kept" [ "$fell" = 0 ]; eval "fast_kept_$5=\$((fast_kept_$5 + 1))" ;;
    on/fallback)
      check "$1, fast exchange given up once, as the log says" [ "$fell" = 1 ]
      grep -B 3 "^$4Wymiana szybka" "$3" | sed 's/^/    /' ;;
    *) fail "$1: fast exchange \"$got\", $fast asked for" ;;
  esac
}

# --- the runs of each run set ---
# RUN_SET LABEL OPTIONS...: programming through each driver alone, then
# comparison and read through both at once.
run_set() {
  label=$1
  shift
  fast=off
  case " $* " in *" --fast "*) fast=on ;; esac
  fast_kept_uart=0
  fast_kept_usb=0
  for port in $uart $usb; do
    name=${port##*/}
    $cli program Sets/guest.set --port "$port" --json "$@" > /tmp/program.json 2> /tmp/program.log
    status=$?
    check "$label: program through $name ($(driver "$port"))" [ "$status" = 0 ]
    has /tmp/program.log "Programowanie zakończone pozytywnie." || { fail "$label: program log"; cat /tmp/program.log; }
    figure "$label program $name ($(driver "$port"))" "$(field /tmp/program.json duration_ms)" 513
    fast_kept "$label: program through $name" /tmp/program.json /tmp/program.log "" "$(line_of "$port")"
    [ "$name" = ttyUSB0 ] && check "$label: the run's stable name" \
      [ "$(field /tmp/program.json stable_port)" = "/dev/serial/by-id/$byid" ]
  done
  $cli compare Sets/guest.set --port $uart --port $usb --json "$@" > /tmp/compare.json 2> /tmp/compare.log
  status=$?
  check "$label: compare through both at once" [ "$status" = 0 ]
  [ "$status" = 0 ] || cat /tmp/compare.log
  grep '"port":"/dev/ttyS1"' /tmp/compare.json > /tmp/compare.uart
  grep '"port":"/dev/ttyUSB0"' /tmp/compare.json > /tmp/compare.usb
  figure "$label compare ttyS1" "$(field /tmp/compare.uart duration_ms)" 257
  figure "$label compare ttyUSB0" "$(field /tmp/compare.usb duration_ms)" 257
  fast_kept "$label: compare through ttyS1" /tmp/compare.uart /tmp/compare.log "$uart: " uart
  fast_kept "$label: compare through ttyUSB0" /tmp/compare.usb /tmp/compare.log "$usb: " usb
  rm -rf /tmp/read && mkdir -p /tmp/read/sets /tmp/read/images
  $cli read --port $uart --port $usb /tmp/read/sets --image /tmp/read/images --json "$@" > /tmp/read.json 2> /tmp/read.log
  status=$?
  check "$label: read through both at once" [ "$status" = 0 ]
  [ "$status" = 0 ] || cat /tmp/read.log
  for name in ttyS1 ttyUSB0; do
    check "$label: the image read through $name" cmp -s /tmp/read/images/$name.img /tmp/guest.img
    grep "\"port\":\"/dev/$name\"" /tmp/read.json > /tmp/read.one
    figure "$label read $name" "$(field /tmp/read.one duration_ms)" 257
    fast_kept "$label: read through $name" /tmp/read.one /tmp/read.log "/dev/$name: " "$(line_of "/dev/$name")"
  done
  # The host sums these over the run sets: each driver must keep it somewhere.
  if [ $fast = on ]; then
    say "kept $label ttyS1 $fast_kept_uart of 3"
    say "kept $label ttyUSB0 $fast_kept_usb of 3"
  fi
}

# --- Ctrl-C in the middle of a run; a second run on the held port ---
interrupt() { # PORT
  port=$1
  name=${port##*/}
  before=$(stty -F "$port" -g)
  rm -f /tmp/first.$name.set
  $cli read --port "$port" /tmp/first.$name.set > /tmp/first.$name 2>&1 &
  first=$!
  # Held once the run says the port is open: a guest under load may take a while to get there.
  waited=0
  while ! has /tmp/first.$name "Port COM otwarty." && [ $waited -lt 300 ] && kill -0 $first 2> /dev/null; do
    sleep 0.1
    waited=$((waited + 1))
  done
  $cli compare Sets/guest.set --port "$port" > /tmp/second.$name 2>&1
  status=$?
  check "$name: a second run on the held port is refused" [ "$status" = 1 ]
  check "$name: ... with the port's line" has /tmp/second.$name "Problem z otwarciem portu COM!"
  su tech -c "$cli compare Sets/guest.set --port $port" > /tmp/third.$name 2>&1
  check "$name: ... for a user in dialout too" has /tmp/third.$name "Problem z otwarciem portu COM!"
  kill -INT $first
  wait $first
  status=$?
  check "$name: Ctrl-C stops the run with 130" [ "$status" = 130 ]
  check "$name: ... and says so" has /tmp/first.$name "Przerwano."
  check "$name: ... and leaves no set" [ ! -e /tmp/first.$name.set ]
  check "$name: the line's settings are back" [ "$(stty -F "$port" -g)" = "$before" ]
}
if [ -e /config.first ]; then
  ports_checks
  interrupt $uart &
  interrupt_uart=$!
  interrupt $usb
  wait $interrupt_uart
fi

IFS='|' read -r label latency options < /config.run
if [ -n "$latency" ]; then
  echo "$latency" > /sys/class/tty/ttyUSB0/device/latency_timer
  check "$label: the adapter's latency timer at $latency ms" \
    [ "$(cat /sys/class/tty/ttyUSB0/device/latency_timer)" = "$latency" ]
fi
# Word splitting of the options is meant.
run_set "$label" $options
