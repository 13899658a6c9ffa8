#!/bin/busybox sh
# The guest's first process: the system a Debian machine would give the
# programs (proc, sysfs, device nodes, the USB serial drivers, the links and
# permissions udev would make, a few users), then the checks, then power off.
/bin/busybox mkdir -p /proc /sys /dev /tmp /sbin /usr/bin /usr/sbin
/bin/busybox --install -s
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /tmp
hostname guest
export PATH=/bin:/sbin:/usr/bin:/usr/sbin HOME=/root

say() { echo "guest: $*"; }
# A short boot that only shows the machine runs at all.
if grep -q tw.probe /proc/cmdline; then
  say "started"
  poweroff -f
fi

for module in $(cat /modules/order); do
  insmod "/modules/$module.ko" || say "FAIL insmod $module"
done
for _ in $(seq 100); do
  [ -e /dev/ttyUSB0 ] && break
  sleep 0.1
done

# As udev's serial rules do: by-id links named after the USB device's
# strings, and the ports given to the dialout group.
usb_string() {
  tr -c 'A-Za-z0-9#+.:=@_\n-' '_' < "$1" 2>/dev/null
}
mkdir -p /dev/serial/by-id
for tty in /sys/class/tty/ttyUSB*; do
  [ -e "$tty" ] || continue
  name=${tty##*/}
  interface=$(realpath "$tty/device/..")
  usb=$(realpath "$interface/..")
  id="usb-$(usb_string "$usb/manufacturer")_$(usb_string "$usb/product")_$(usb_string "$usb/serial")"
  ln -s "../../$name" "/dev/serial/by-id/$id-if$(cat "$interface/bInterfaceNumber")-port0"
done
chgrp dialout /dev/ttyS* /dev/ttyUSB* 2>/dev/null
chmod 660 /dev/ttyS* /dev/ttyUSB* 2>/dev/null
# A real FT232R starts with its latency timer at 16 ms; the emulated one says 0.
for timer in /sys/class/tty/ttyUSB*/device/latency_timer; do
  [ -e "$timer" ] && echo 16 > "$timer"
done

say "booted in $(cut -d' ' -f1 /proc/uptime) s"
sh /checks.sh
say "done"
sync
poweroff -f
