# The two commands a newcomer needs:
#   make test   install what is missing, build everything, run every test suite
#   make run    build and start the window with the simulated device on COM1
# Build folders: build/ (native), build-win/ (Windows cross build), build-asan/, build-tsan/.

SHELL := /bin/bash
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

# Debian packages the build and the test suites need.
PACKAGES := cmake make g++ pkg-config git libgtest-dev googletest libgmock-dev libbenchmark-dev \
            qt6-base-dev qt6-translations-l10n libgl-dev fonts-liberation dpkg-dev lintian \
            g++-mingw-w64-x86-64-posix wine64 clang libclang-rt-14-dev \
            ninja-build nsis zip xvfb ccache libcli11-dev qemu-system-x86 busybox-static \
            xdg-utils desktop-file-utils shared-mime-info libglib2.0-bin man-db locales x11-utils unzip

# Every build goes through the compiler cache, so a new clone reuses the objects
# of earlier ones. Paths are hashed relative to the checkout and the build folder
# is left out of the hash, so the hits survive a clone at another path.
# make test CCACHE= builds without it.
CCACHE ?= ccache
LAUNCHER = -DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE) -DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE)
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := true

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test test-native run clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends \
	    -o DPkg::Lock::Timeout=600 $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER) $(CMAKE_FLAGS) >/dev/null

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test-native: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) --timeout 300

-include mk/*.mk

# Every suite: native, Windows under Wine, sanitizers, fuzzers, the package (all but the first from mk/*.mk).
test: $(TEST_FIRST) test-native $(EXTRA_TESTS)

# The simulated device as COM1 and the window; without a display, the CLI at work against it.
run: build
	tools/sim/demo.sh $(BUILD)/bin

clean:
	rm -rf $(BUILD) build-win build-asan build-tsan build-fuzz
