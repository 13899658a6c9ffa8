#!/bin/sh
# Builds the static Qt 6 for Windows that the window's Windows build links,
# from Debian's own qt6-base source (the same version as the native Qt), with
# the project's MinGW-w64 toolchain file. Nothing prebuilt is fetched.
#
#   cmake/qt-mingw.sh              build into $TW_QT_PREFIX unless it is complete
#   cmake/qt-mingw.sh --background start that build in the background at nice 19,
#                                  log in $TW_CACHE/qt-mingw.log; make test does
#                                  this first, so the build takes the CPU that the
#                                  real-time tests leave idle
#   cmake/qt-mingw.sh --print prefix|source|version
#                                  where the Qt goes, the source folder it is
#                                  built from, the Debian version of that source;
#                                  the one place the rest of the build learns them
#   TW_QT_PREFIX=/some/dir ...     install elsewhere
#   JOBS=2, NICE=10                parallel jobs and niceness of the build
# One build at a time: a second call waits for the running one (a lock in
# $TW_CACHE) and then finds the cache complete.
#
# The install holds a key made of the Debian version of qt6-base, the options,
# the toolchain file and the patches; a complete install with the same key is
# left alone, anything else is rebuilt from a clean build folder.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
cache=${TW_CACHE:-$HOME/.cache/trackwarden}
jobs=${JOBS:-2}
nice=${NICE:-10}
toolchain=$here/mingw-w64.cmake
patches=$here/qt-patches

# The Qt built is the native one's source package, at its Debian version.
version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
[ -n "$version" ] || { echo "qt6-base-dev is not installed (make deps)" >&2; exit 1; }
upstream=${version%%-*}
upstream=${upstream#*:}
upstream=${upstream%%+*}
prefix=${TW_QT_PREFIX:-$cache/qt-$upstream-mingw}
src=$cache/src/qt6-base-$upstream

if [ "${1:-}" = "--print" ]; then
  case ${2:-} in
    prefix) echo "$prefix" ;;
    source) echo "$src" ;;
    version) echo "$version" ;;
    *) echo "usage: qt-mingw.sh --print prefix|source|version" >&2; exit 2 ;;
  esac
  exit 0
fi

# The host Qt supplies moc, rcc and uic; its version must be the one we build.
options="
-DCMAKE_BUILD_TYPE=Release
-DQT_HOST_PATH=/usr
-DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
-DBUILD_SHARED_LIBS=OFF
-DQT_BUILD_EXAMPLES=OFF
-DQT_BUILD_TESTS=OFF
-DFEATURE_pkg_config=OFF
-DFEATURE_sql=OFF
-DFEATURE_network=OFF
-DFEATURE_dbus=OFF
-DFEATURE_printsupport=OFF
-DFEATURE_concurrent=OFF
-DFEATURE_xml=OFF
-DFEATURE_opengl=OFF
-DFEATURE_dynamicgl=OFF
-DFEATURE_vulkan=OFF
-DFEATURE_direct2d=OFF
-DFEATURE_tabletevent=OFF
-DFEATURE_jpeg=OFF
-DFEATURE_gif=OFF
-DFEATURE_zstd=OFF
-DFEATURE_icu=OFF
-DFEATURE_system_zlib=OFF
-DFEATURE_system_png=OFF
-DFEATURE_system_freetype=OFF
-DFEATURE_system_harfbuzz=OFF
-DFEATURE_system_pcre2=OFF
-DFEATURE_system_doubleconversion=OFF
"
# Why some of them: Debian's source drops the tablet library's third-party
# code, so tablet support must be off; direct2d is off and
# qt-patches/directwrite-needs-direct2d.patch keeps the windows plugin from
# calling the DirectWrite font database that Qt Gui then leaves out; dynamicgl
# stays on by itself with OpenGL off, and the windows plugin then asks for an
# OpenGL context that was never built (qwindowswindow.cpp, isSoftwareGl).

key=$( { echo "$version"; echo "$options"; cat "$toolchain"; cat "$patches"/*.patch 2>/dev/null; } | sha256sum | cut -d' ' -f1)
stop_if_complete() {
  if [ -f "$prefix/.tw-key" ] && [ "$(cat "$prefix/.tw-key")" = "$key" ]; then
    echo "Qt for Windows is up to date in $prefix"
    exit 0
  fi
}
stop_if_complete

mkdir -p "$cache"
# One build at a time, under a lock on fd 9. The background build is handed
# the lock its starter took, so no later call can slip in before it.
if [ "${TW_QT_LOCKED:-}" != 1 ]; then
  exec 9>"$cache/qt-mingw.lock"
  if [ "${1:-}" = "--background" ]; then
    flock -n 9 || { echo "Qt for Windows is being built already (log: $cache/qt-mingw.log)"; exit 0; }
    # Detached, so that an interrupted make test leaves it running; the next
    # call waits for it, or goes on where it stopped.
    TW_QT_LOCKED=1 NICE=19 setsid "$0" </dev/null >"$cache/qt-mingw.log" 2>&1 &
    echo "Building Qt for Windows in the background (log: $cache/qt-mingw.log)"
    exit 0
  fi
  if ! flock -n 9; then
    echo "Waiting for the Qt for Windows build under way (log: $cache/qt-mingw.log)"
    flock 9
  fi
  stop_if_complete
fi

# The unpacked source depends only on the version and the patches.
srckey=$( { echo "$version"; cat "$patches"/*.patch 2>/dev/null; } | sha256sum | cut -d' ' -f1)
build=$cache/build/qt-mingw
mkdir -p "$cache/src"

have_deb_src() {
  grep -hqs '^[[:space:]]*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
    grep -hqsi '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources
}

fetch() {
  if ! have_deb_src; then
    # The machine's own Debian sources, as source entries beside them.
    sudo=$([ "$(id -u)" = 0 ] || echo sudo)
    # A machine set up with sources.list alone has no *.sources to copy.
    entries=$(for f in /etc/apt/sources.list.d/*.sources; do
      grep -qsi '^URIs:.*debian' "$f" || continue
      sed 's/^Types:.*/Types: deb-src/' "$f"
      echo # a blank line ends a file's last entry
    done)
    [ -z "$entries" ] || echo "$entries" | $sudo tee /etc/apt/sources.list.d/trackwarden-deb-src.sources >/dev/null
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list |
        $sudo tee -a /etc/apt/sources.list.d/trackwarden-deb-src.list >/dev/null
    fi
    $sudo apt-get update -qq
  fi
  dl=$cache/src/debian-$version
  mkdir -p "$dl"
  (cd "$dl" && apt-get source --download-only -qq "qt6-base=$version")
  rm -rf "$src.tmp"
  dpkg-source --no-check -x "$dl"/qt6-base_*.dsc "$src.tmp" >/dev/null
  for p in "$patches"/*.patch; do
    [ -f "$p" ] || continue
    patch -d "$src.tmp" -p1 --quiet <"$p"
  done
  echo "$srckey" >"$src.tmp/.tw-key"
  rm -rf "$src"
  mv "$src.tmp" "$src"
}

[ -f "$src/.tw-key" ] && [ "$(cat "$src/.tw-key")" = "$srckey" ] || fetch
[ "${1:-}" = "--fetch-only" ] && exit 0

start=$(date +%s)
# An interrupted build of the same key goes on where it stopped.
if [ -f "$build/.tw-key" ] && [ "$(cat "$build/.tw-key")" = "$key" ]; then
  echo "Continuing the Qt build in $build"
else
  rm -rf "$build"
  # The build keeps its own copy of the toolchain file, so that it goes on
  # from any checkout, or after the one that started it is gone.
  mkdir -p "$build"
  cp "$toolchain" "$build/mingw-w64.cmake"
  # shellcheck disable=SC2086 # the options are one word each
  nice -n "$nice" cmake -G Ninja -S "$src" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$build/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" $options
  echo "$key" >"$build/.tw-key"
fi
rm -rf "$prefix"
nice -n "$nice" cmake --build "$build" --parallel "$jobs"
nice -n "$nice" cmake --install "$build" >/dev/null
echo "$key" >"$prefix/.tw-key"
echo "Qt for Windows built in $(( ($(date +%s) - start) / 60 )) min into $prefix ($(du -sh "$prefix" | cut -f1))"
