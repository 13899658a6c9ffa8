# The soak: 200 runs in a row against the simulator with faults drawn at
# random, a few of them full runs, in a native build of its own. Too long for
# make test, which runs a dozen short ones. SOAK_RUNS / SOAK_FULL / SOAK_SEED.
SOAK_BUILD ?= build-rel
SOAK_RUNS ?= 200
SOAK_FULL ?= 4
SOAK_SEED ?= 6

.PHONY: soak

soak: deps
	cmake -S . -B $(SOAK_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_UI=OFF -DTW_BUILD_BENCH=OFF $(LAUNCHER) >/dev/null
	cmake --build $(SOAK_BUILD) -j$(JOBS) --target test_soak trackwarden-sim trackwarden-cli
	TW_SOAK_RUNS=$(SOAK_RUNS) TW_SOAK_FULL=$(SOAK_FULL) TW_SOAK_SEED=$(SOAK_SEED) $(SOAK_BUILD)/bin/test_soak
