# The Windows build (MinGW-w64) with the window, against a static Qt for
# Windows built once from Debian's source into a cache; tested under Wine.
#   make win-qt              Qt for Windows into $(TW_QT_PREFIX), once
#   make win-build           configure and build build-win/ with the cross toolchain
#   make win-test            its tests under Wine, end to end against the native simulator
#   make win-package         build-win/package/: the zip and the per-user installer
#   make win-installer-test  the installer under Wine in a fresh prefix
WIN_BUILD ?= build-win
TW_CACHE ?= $(HOME)/.cache/trackwarden
export TW_CACHE
# Where the Qt for Windows goes (TW_QT_PREFIX moves it): cmake/qt-mingw.sh
# names it after the Qt source package's version.
QT_PREFIX = $$(sh cmake/qt-mingw.sh --print prefix)

.PHONY: win-qt win-configure win-build win-test win-package win-installer-test

win-qt: deps
	JOBS=$(JOBS) cmake/qt-mingw.sh

# make test starts a missing Qt build first, in the background; win-qt waits for it.
.PHONY: win-qt-background
win-qt-background: deps
	JOBS=$(JOBS) cmake/qt-mingw.sh --background

TEST_FIRST += win-qt-background

win-configure: deps win-qt
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_UI=ON -DTW_BUILD_BENCH=OFF \
	  -DTW_QT_PREFIX=$(QT_PREFIX) $(LAUNCHER) >/dev/null

win-build: win-configure
	cmake --build $(WIN_BUILD) -j$(JOBS)

# The end-to-end parts drive the Windows programs against the native simulator.
win-test: win-build build
	cmake/windows-tests.sh $(WIN_BUILD) $(BUILD)/bin

win-package: win-build
	rm -rf $(WIN_BUILD)/package
	cd $(WIN_BUILD) && cpack --config CPackConfig.cmake >/dev/null
	@ls -sh $(WIN_BUILD)/package/*.zip $(WIN_BUILD)/package/*-setup.exe

win-installer-test: win-package build
	cmake/windows-installer-test.sh $(WIN_BUILD)/package/trackwarden-*-windows-x64-setup.exe $(BUILD)/bin

EXTRA_TESTS += win-test win-installer-test
