# Sourced by the Wine scripts that put native simulators behind Wine's COM
# ports, which call wrapper_start first.

# wrapper_start SCRIPT FOLDER WINE TEST_EXE [ARGS...]: $wine, $exe and the
# test's arguments in test_args; $native_bin and $sim (trackwarden-sim) from
# TW_NATIVE_BIN; $work, the folder FOLDER beside the test, made empty.
wrapper_start() {
  local script=$1 folder=$2
  shift 2
  wine=${1:?usage: $script WINE TEST_EXE [ARGS...]}
  exe=${2:?usage: $script WINE TEST_EXE [ARGS...]}
  test_args=("${@:3}")
  : "${WINEPREFIX:?$script: WINEPREFIX is not set}"
  native_bin=${TW_NATIVE_BIN:?$script: TW_NATIVE_BIN (the native bin/ with trackwarden-sim) is not set}
  export WINEDEBUG=${WINEDEBUG:--all}
  sim=$native_bin/trackwarden-sim
  work=$(dirname "$(realpath "$exe")")/$folder
  rm -rf "$work"
  mkdir -p "$work"
}

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
