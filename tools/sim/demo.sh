#!/usr/bin/env bash
# Starts the simulated device as COM1 beside the programs in BIN and then the
# window; without a display, the same demonstration with the CLI instead.
#   tools/sim/demo.sh BIN
set -euo pipefail

bin=$(realpath "${1:?usage: demo.sh BIN}")
link=$bin/Sys/COM1

"$bin/trackwarden-sim" --link "$link" > /dev/null &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || { echo "demo: the simulator did not start" >&2; exit 1; }

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/trackwarden" ]; then
  [ -e "$bin/Sys/Port.bin" ] || printf '\001\000\000\000' > "$bin/Sys/Port.bin"
  echo "Simulated device on COM1 ($link). Choose COM1 on the PROG tab."
  "$bin/trackwarden"
  exit 0
fi

echo "No display: the demonstration runs with trackwarden-cli against the simulated device on COM1."
set="$bin/Sets/demo.set"
"$bin/trackwarden-cli" defaults "$set"
echo "== trackwarden-cli program $set --port COM1"
"$bin/trackwarden-cli" program "$set" --port COM1
echo "== trackwarden-cli compare $set --port COM1"
"$bin/trackwarden-cli" compare "$set" --port COM1
