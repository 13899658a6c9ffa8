# Sourced by the Wine scripts that put native simulators behind Wine's COM
# ports. Expects $work (a folder of the script's) and $sim (trackwarden-sim).

winpath() { local p=$1; echo "Z:${p//\//\\}"; }

sims=()
stop_sims() {
  for p in "${sims[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  sims=()
}
trap stop_sims EXIT

# start_sim NAME [options]: a simulator behind $work/NAME, logging to
# $work/NAME.sim.log; its pid in sim_NAME. Fails if its link does not appear.
start_sim() {
  local name=$1
  shift
  "$sim" --link "$work/$name" "$@" >"$work/$name.sim.log" 2>&1 &
  sims+=($!)
  eval "sim_$name=$!"
  for _ in $(seq 100); do [ -e "$work/$name" ] && return 0; sleep 0.05; done
  return 1
}
