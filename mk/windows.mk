# The Windows build of everything but the window (MinGW-w64), tested under Wine.
#   make win-build   configure and build build-win/ with the cross toolchain
#   make win-test    run its tests under Wine, end to end against the native simulator
WIN_BUILD ?= build-win

.PHONY: win-configure win-build win-test

win-configure: deps
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_UI=OFF -DTW_BUILD_BENCH=OFF >/dev/null

win-build: win-configure
	cmake --build $(WIN_BUILD) -j$(JOBS)

# The end-to-end part drives the Windows CLI against the native simulator.
win-test: win-build build
	cmake/windows-tests.sh $(WIN_BUILD) $(BUILD)/bin

EXTRA_TESTS += win-test

# Static Qt 6 for Windows from Debian's qt6-base source, built once into a cache.
TW_QT_PREFIX ?= $(HOME)/.cache/trackwarden/qt-6.4.2-mingw
export TW_QT_PREFIX

.PHONY: win-qt
win-qt: deps
	JOBS=$(JOBS) cmake/qt-mingw.sh
