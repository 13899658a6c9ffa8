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

# The window for Windows as well, against that Qt; then the release from it.
#   make win-ui-test         build-win/ with the window, its tests under Wine
#   make win-package         build-win/package/: the zip and the per-user installer
#   make win-installer-test  the installer under Wine in a fresh prefix
# Not part of make test until the Qt cache is in place on the test machines.
.PHONY: win-ui-configure win-ui-build win-ui-test win-package win-installer-test

win-ui-configure: deps win-qt
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_UI=ON -DTW_BUILD_BENCH=OFF \
	  -DTW_QT_PREFIX=$(TW_QT_PREFIX) >/dev/null

win-ui-build: win-ui-configure
	cmake --build $(WIN_BUILD) -j$(JOBS)

win-ui-test: win-ui-build build
	cmake/windows-tests.sh $(WIN_BUILD) $(BUILD)/bin

win-package: win-ui-build
	cmake/windows-package.sh $(WIN_BUILD)

win-installer-test: win-package build
	cmake/windows-installer-test.sh $(WIN_BUILD)/package/trackwarden-*-windows-x64-setup.exe $(BUILD)/bin
