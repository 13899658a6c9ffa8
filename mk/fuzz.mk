# libFuzzer runs of the settings-file, device-reply, device-image and units-table fuzzers,
# FUZZ_SECONDS each, from a copy of the committed seeds so that the repository stays clean.
# Longer runs by hand: make fuzz-test FUZZ_SECONDS=600
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
FUZZERS := fuzz_settings_file fuzz_device_replies fuzz_device_image fuzz_units_table

.PHONY: fuzz-build fuzz-test

fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
	  -DTW_FUZZ=ON -DTW_SANITIZE=ON -DTW_BUILD_UI=OFF -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF $(LAUNCHER) >/dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(FUZZERS)

# JOBS fuzzers at once, each for its full time; each one's summary is printed whole when it ends.
fuzz-test: fuzz-build
	@$(MAKE) --no-print-directory -j$(JOBS) $(addprefix fuzz-run-,$(FUZZERS))

.PHONY: $(addprefix fuzz-run-,$(FUZZERS))
$(addprefix fuzz-run-,$(FUZZERS)): fuzz-run-%:
	@f=$*; work=$(FUZZ_BUILD)/fuzz-run/$$f; rm -rf $$work; mkdir -p $$work/corpus $$work/crashes; \
	cp fuzz/corpus/$$f/* $$work/corpus/; \
	ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	$(FUZZ_BUILD)/bin/$$f -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
	  -artifact_prefix=$$work/crashes/ $$work/corpus > $$work/log 2>&1 \
	  || { { echo "== $$f"; tail -60 $$work/log; echo "$$f failed; the input is in $$work/crashes/"; } >&2; exit 1; }; \
	summary=$$(grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' $$work/log; \
	           grep -E '#[0-9]+.*(DONE|cov)' $$work/log | tail -1); \
	printf '== %s, %s s\n%s\n' "$$f" "$(FUZZ_SECONDS)" "$$summary"

EXTRA_TESTS += fuzz-test
