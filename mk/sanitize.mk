# Sanitizer builds of the libraries' tests. Any report stops the test that
# made it, and a stopped test fails the target.
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
# The window's tests too (offscreen): their build costs a few minutes, their run
# under a minute. make asan-test ASAN_UI=OFF leaves them out.
ASAN_UI ?= ON
ASAN_LABELS ?= settings|storage|cli|station|link|sim|reliability$(if $(filter ON,$(ASAN_UI)),|ui)
TSAN_LABELS ?= station|link|reliability

# Leaks inside the system's font library (reached by Qt) are not ours to fix.
LSAN_SUPPRESSIONS := $(CURDIR)/$(ASAN_BUILD)/lsan.supp
SANITIZER_ENV := ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:check_initialization_order=1 \
                 LSAN_OPTIONS=suppressions=$(LSAN_SUPPRESSIONS):print_suppressions=0 \
                 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
                 TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

.PHONY: asan-test tsan-test

asan-test: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=ON -DTW_BUILD_BENCH=OFF \
	  -DTW_BUILD_UI=$(ASAN_UI) $(LAUNCHER) >/dev/null
	printf 'leak:libfontconfig.so\n' > $(LSAN_SUPPRESSIONS)
	$(SANITIZER_ENV) cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure --no-tests=error -j$(JOBS) --timeout 600 -L '$(ASAN_LABELS)'

tsan-test: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTW_TSAN=ON -DTW_BUILD_UI=OFF -DTW_BUILD_BENCH=OFF $(LAUNCHER) >/dev/null
	$(SANITIZER_ENV) cmake --build $(TSAN_BUILD) -j$(JOBS)
	cd $(TSAN_BUILD) && $(SANITIZER_ENV) \
	  ctest --output-on-failure --no-tests=error -j$(JOBS) --timeout 600 -L '$(TSAN_LABELS)'

EXTRA_TESTS += asan-test tsan-test
