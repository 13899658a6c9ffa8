#!/usr/bin/env bash
# The CLI through the kernel's own serial drivers: a small virtual machine
# (Debian's kernel, a busybox initramfs with trackwarden-cli, no disk, no
# network) whose 16550 UART and FTDI USB adapter are QEMU character devices
# on the host, where a simulated device serves each of them (--port).
#   tests/guest/guest-test.sh BIN [--require] [--runs 'LABEL|LATENCY_MS|CLI OPTIONS']...
# BIN holds trackwarden-cli and trackwarden-sim. Each run set boots a guest of
# its own: programming through each driver, comparison and read through both,
# OPTIONS added to every run, the adapter's latency timer at LATENCY_MS (empty:
# left as it is). The default set runs first, always, and its guest also
# checks ports, Ctrl-C in a run and a second run on a held port.
# Where no virtual machine can be started it says so on one line, and fails
# only with --require. The kernel comes out of Debian's package (apt-get
# download, never installed) into $TW_CACHE/guest, once.
set -euo pipefail

here=$(dirname "$(realpath "$0")")
bin=$(realpath "${1:?usage: guest-test.sh BIN [--require] [--runs 'LABEL|LATENCY_MS|OPTIONS']...}")
shift
require=0
runs=('default||')
while [ $# -gt 0 ]; do
  case $1 in
    --require) require=1 ;;
    --runs) runs+=("${2:?--runs needs LABEL|LATENCY_MS|OPTIONS}"); shift ;;
    *) echo "guest-test.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
cache=${TW_CACHE:-$HOME/.cache/trackwarden}/guest
# Each guest's own time limit: the first takes two to three minutes, the others under one.
limit=240
started=$(date +%s)

work=$(mktemp -d /tmp/tw-guest-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

unavailable() {
  echo "guest: no virtual machine here ($*)$([ $require = 1 ] && echo ', and one is required')"
  exit $require
}

command -v qemu-system-x86_64 > /dev/null || unavailable "qemu-system-x86_64 is not installed"

# --- the kernel and its USB serial modules, out of Debian's package ---
modules=(ftdi_sio xhci-pci)
kernel_package() {
  apt-cache depends linux-image-amd64 2> /dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -n 1
}

# MODULE_TREE NAME: the module's file, under either spelling of its name.
module_file() {
  find "$1" -name "$(echo "$2" | tr '_-' '??').ko*" | head -n 1
}

# Into $1: vmlinuz, modules/*.ko and modules/order (dependencies first).
fetch_kernel() {
  local into=$1 package=$2 version=$3 deb=$work/deb tree
  mkdir -p "$deb"
  local sandbox=()
  [ "$(id -u)" = 0 ] && sandbox=(-o APT::Sandbox::User=root)
  (cd "$deb" && apt-get "${sandbox[@]}" -q=2 download "$package=$version") || return 1
  dpkg-deb --fsys-tarfile "$deb"/*.deb |
    tar -x -C "$deb" --wildcards './boot/vmlinuz-*' './lib/modules/*/kernel/drivers/usb/*' || return 1
  tree=$(echo "$deb"/lib/modules/*/kernel)
  rm -rf "$into.part"
  mkdir -p "$into.part/modules"
  cp "$deb"/boot/vmlinuz-* "$into.part/vmlinuz"
  local done_list=" "
  add_module() {
    local name file depends dep
    name=$(echo "$1" | tr - _)
    case $done_list in *" $name "*) return 0 ;; esac
    file=$(module_file "$tree" "$1")
    [ -n "$file" ] || { echo "guest: no module $1 in $package" >&2; return 1; }
    depends=$(busybox strings "$file" | sed -n 's/^depends=//p' | tr , ' ')
    for dep in $depends; do add_module "$dep" || return 1; done
    case $file in
      *.xz) xz -dc "$file" ;;
      *.zst) zstd -qdc "$file" ;;
      *) cat "$file" ;;
    esac > "$into.part/modules/$name.ko"
    echo "$name" >> "$into.part/modules/order"
    done_list="$done_list$name "
  }
  for module in "${modules[@]}"; do add_module "$module" || return 1; done
  echo "$package $version" > "$into.part/package"
  rm -rf "$into" "$deb"
  mv "$into.part" "$into"
}

kernel_dir=
package=$(kernel_package)
if [ -n "$package" ]; then
  version=$(apt-cache show --no-all-versions "$package" 2> /dev/null | sed -n 's/^Version: //p' | head -n 1)
  kernel_dir=$cache/${package}_$version
  mkdir -p "$cache"
  # One fetch at a time; a second test waits for it and takes its result.
  exec 4> "$cache/fetch.lock"
  flock 4
  if [ ! -f "$kernel_dir/modules/order" ]; then
    echo "guest: fetching $package $version (once, into $cache)"
    fetch_kernel "$kernel_dir" "$package" "$version" || kernel_dir=
  fi
  exec 4>&-
fi
if [ -z "$kernel_dir" ] || [ ! -f "$kernel_dir/modules/order" ]; then
  # Offline, or the archive moved on: an earlier kernel will do.
  kernel_dir=$(ls -d "$cache"/linux-image-*/ 2> /dev/null | sort -V | tail -n 1)
  kernel_dir=${kernel_dir%/}
  [ -n "$kernel_dir" ] && [ -f "$kernel_dir/modules/order" ] || unavailable "no Debian kernel could be fetched"
fi

# --- the initramfs: busybox, the CLI with its libraries, the checks ---
root=$work/root
mkdir -p "$root"/{bin,etc,tw/Sets,tw/Sys,modules}
cp /bin/busybox "$root/bin/busybox"
install -m 755 "$here/init.sh" "$root/init"
cp "$here/checks.sh" "$root/checks.sh"
cp "$bin/trackwarden-cli" "$root/tw/"
for lib in $(ldd "$bin/trackwarden-cli" | grep -o '/[^ ]*'); do
  mkdir -p "$root$(dirname "$lib")"
  cp -L "$lib" "$root$lib"
done
cp "$kernel_dir"/modules/* "$root/modules/"
# operator is outside dialout, tech in it.
printf '%s\n' root:x:0:0:root:/root:/bin/sh operator:x:1000:1000::/tmp:/bin/sh tech:x:1001:1001::/tmp:/bin/sh \
  > "$root/etc/passwd"
printf '%s\n' root:x:0: dialout:x:20:tech operator:x:1000: tech:x:1001: > "$root/etc/group"
(cd "$root" && find . | busybox cpio -o -H newc -R 0:0 2> /dev/null) > "$work/initrd"

# KVM only where a short boot shows that it works: under some hosts it starts and prints nothing.
accel=tcg
if [ -w /dev/kvm ]; then
  if timeout 30 qemu-system-x86_64 -accel kvm -m 512 -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$kernel_dir/vmlinuz" -initrd "$work/initrd" -append 'console=ttyS0 quiet panic=-1 tw.probe' \
    -serial "file:$work/probe.log" > /dev/null 2>&1 && grep -q '^guest: started' "$work/probe.log"; then
    accel=kvm
  fi
fi


# The devices' memories are checked against the set the guest programs.
"$bin/trackwarden-cli" defaults "$work/host.set" > /dev/null
"$bin/trackwarden-cli" image "$work/host.set" "$work/host.img" > /dev/null

pty_of() { # BOOT LABEL
  sed -n "s|.*redirected to \(/dev/pts/[0-9]*\) (label $2).*|\1|p" "$work/$1/qemu.out" | head -n 1
}

# BOOT RUN_SET: one guest with the run set (the first boot also checks
# ports, Ctrl-C and the held port). Prints the guest's console; sets
# failures. QEMU's adapter model does not hold bytes by its latency timer, so
# the simulator on the adapter's line does it for a run set that sets one.
boot() {
  local name=$1 set=$2 label latency options dir=$work/$1 qemu pid line
  IFS='|' read -r label latency options <<< "$set"
  mkdir -p "$dir/extra"
  printf '%s\n' "$set" > "$dir/extra/config.run"
  [ "$name" = boot0 ] && touch "$dir/extra/config.first"
  (cd "$dir/extra" && find . | busybox cpio -o -H newc -R 0:0 2> /dev/null) > "$dir/extra.cpio"
  # The kernel unpacks archives laid end to end.
  cat "$work/initrd" "$dir/extra.cpio" > "$dir/initrd"
  mkfifo "$dir/monitor.in" "$dir/monitor.out"
  # Stopped (-S) until the simulators are on the lines: a pseudo-terminal
  # nobody has opened swallows what the guest writes.
  qemu-system-x86_64 -accel $accel -m 512 -nodefaults -no-user-config -display none -no-reboot -S \
    -kernel "$kernel_dir/vmlinuz" -initrd "$dir/initrd" -append 'console=ttyS0 quiet loglevel=3 panic=-1' \
    -chardev "file,id=console,path=$dir/console.log" -serial chardev:console \
    -chardev pty,id=uart -serial chardev:uart \
    -device qemu-xhci,id=xhci \
    -chardev pty,id=ftdi -device usb-serial,bus=xhci.0,chardev=ftdi,always-plugged=true \
    -chardev "pipe,id=monitor,path=$dir/monitor" -mon chardev=monitor,mode=readline \
    > "$dir/qemu.out" 2>&1 &
  qemu=$!
  pids+=($qemu)
  # Drained, so that the monitor never blocks; opened read-write, so that opening never waits.
  exec 3<> "$dir/monitor.out"
  cat <&3 > /dev/null &
  pids+=($!)
  exec 3<&-
  for _ in $(seq 100); do
    [ -n "$(pty_of "$name" uart)" ] && [ -n "$(pty_of "$name" ftdi)" ] && break
    kill -0 $qemu 2> /dev/null || break
    sleep 0.1
  done
  if [ -z "$(pty_of "$name" uart)" ] || [ -z "$(pty_of "$name" ftdi)" ]; then
    local why="qemu-system-x86_64 did not start: $(grep -v '^char device' "$dir/qemu.out" | head -n 1)"
    [ "$name" = boot0 ] && unavailable "$why"
    echo "guest: FAIL $label: $why"
    failures=$((failures + 1))
    return
  fi
  local uart_options=() ftdi_options=()
  [ -n "$latency" ] && [ "$latency" != 0 ] && ftdi_options=(--latency "$latency")
  for line in uart ftdi; do
    local extra="${line}_options[@]"
    "$bin/trackwarden-sim" --port "$(pty_of "$name" $line)" --save "$dir/$line.bin" "${!extra}" \
      > "$dir/sim-$line.out" 2>&1 &
    pids+=($!)
    eval "local sim_$line=$!"
  done
  for line in uart ftdi; do
    for _ in $(seq 50); do grep -qs listening "$dir/sim-$line.out" && break; sleep 0.1; done
    grep -q listening "$dir/sim-$line.out" || { cat "$dir/sim-$line.out"; echo "guest: FAIL $label: the simulator on the $line"; exit 1; }
  done
  echo cont > "$dir/monitor.in"

  local deadline=$(($(date +%s) + limit)) timed_out=
  while kill -0 $qemu 2> /dev/null && [ "$(date +%s)" -lt $deadline ]; do sleep 0.5; done
  if kill -0 $qemu 2> /dev/null; then
    kill $qemu
    timed_out=1
  fi
  wait $qemu 2> /dev/null || true
  # The simulators see their lines hang up and save their memories.
  for line in uart ftdi; do
    pid=$(eval echo "\$sim_$line")
    for _ in $(seq 50); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
  done

  local console=$dir/console.log
  touch "$console"
  if ! grep -q '^guest: booted' "$console"; then
    [ "$name" = boot0 ] && unavailable "the guest printed nothing in $limit s under $accel"
  fi
  tr -d '\r' < "$console" | sed 's/^/  /'
  failures=$((failures + $(grep -c '^guest: FAIL' "$console" || true)))
  checks=$((checks + $(grep -c '^guest: ok' "$console" || true)))
  if [ -n "$timed_out" ]; then
    echo "guest: FAIL $label: the guest did not finish in $limit s"
    failures=$((failures + 1))
  elif ! grep -q '^guest: done' "$console"; then
    echo "guest: FAIL $label: the guest stopped before the end of its checks"
    failures=$((failures + 1))
  fi
  # What the programming runs left in the devices is the set's image.
  for line in uart ftdi; do
    if cmp -s "$dir/$line.bin" "$work/host.img"; then
      echo "guest: ok $label: the device behind the $line holds the set's image"
    else
      echo "guest: FAIL $label: the device behind the $line does not hold the set's image"
      sed 's/^/  /' "$dir/sim-$line.out"
      failures=$((failures + 1))
    fi
  done
}

failures=0
checks=0
boot boot0 "${runs[0]}"
# The other run sets boot side by side once the first is done, whose figures
# in the specified timing are taken alone; each reports into a file of its own.
later=()
for i in "${!runs[@]}"; do
  [ "$i" = 0 ] && continue
  (
    # Its own processes only: the others' are theirs to end.
    pids=()
    # Its own counts: the first boot's are already in the parent's.
    failures=0
    checks=0
    trap 'for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done' EXIT
    boot "boot$i" "${runs[$i]}" > "$work/boot$i.report" 2>&1
    echo "$failures $checks" > "$work/boot$i.counts"
  ) &
  later+=($!)
  pids+=($!)
done
for i in "${!later[@]}"; do
  wait "${later[$i]}" || true
  n=$((i + 1))
  cat "$work/boot$n.report"
  read -r more_failures more_checks < "$work/boot$n.counts" 2> /dev/null ||
    { more_failures=1; more_checks=0; echo "guest: FAIL boot$n ended without its counts"; }
  failures=$((failures + more_failures))
  checks=$((checks + more_checks))
done
# A fast run that gave its mode up is no failure, but a driver through which
# no fast run kept it is: the mode would never work there.
for tty in ttyS1 ttyUSB0; do
  counts=$(cat "$work"/boot*/console.log 2> /dev/null | tr -d '\r' | sed -n "s/^guest: kept .* $tty \([0-9]*\) of \([0-9]*\)$/\1 \2/p")
  [ -n "$counts" ] || continue
  kept=$(echo "$counts" | awk '{ k += $1 } END { print k }')
  all=$(echo "$counts" | awk '{ a += $2 } END { print a }')
  if [ "$kept" -gt 0 ]; then
    echo "guest: ok the fast exchange kept through $tty in $kept of $all fast runs"
  else
    echo "guest: FAIL the fast exchange kept through $tty in none of $all fast runs"
    failures=$((failures + 1))
  fi
done
echo "guest: $accel, ${#runs[@]} boot(s), $checks checks in the guest, $failures failed, $(($(date +%s) - started)) s in all"
[ "$failures" = 0 ]
