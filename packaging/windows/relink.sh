#!/bin/sh
# Links the Trackwarden programs again against the static Qt for MinGW-w64 in
# $QT (one built as qt-mingw.sh does, from Debian's qt6-base source with
# qt-patches/, or a changed one), with CMake and the toolchain file beside
# this script (another one: TOOLCHAIN=file.cmake). The programs land in out/.
#   QT=/path/to/qt sh relink.sh
set -e
cd "$(dirname "$0")"
: "${QT:?set QT to the static Qt 6 for MinGW-w64}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="${TOOLCHAIN:-$(pwd)/mingw-w64.cmake}" -DTW_QT_PREFIX="$QT"
cmake --build build
echo "relinked into $(pwd)/out"
