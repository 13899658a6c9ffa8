#!/usr/bin/env bash
# The Windows release from a built build-win/: a zip and a per-user installer.
#   cmake/windows-package.sh BUILD_WIN
# Writes BUILD_WIN/package/trackwarden-<version>-windows-x64.zip and
# trackwarden-<version>-windows-x64-setup.exe.
#
# Qt is linked statically and is under the LGPL: the release carries the
# program's own object files and a script that links them again with a Qt the
# user builds or changes (relink\), the way Qt itself was built
# (relink\qt-mingw.sh, relink\qt-patches\), and the licence texts (licenses\).
set -euo pipefail

build=$(realpath "${1:?usage: windows-package.sh BUILD_WIN}")
here=$(dirname "$(realpath "$0")")
qt=$(sed -n 's/^TW_QT_PREFIX:[A-Z]*=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
qtsrc=${TW_CACHE:-$HOME/.cache/trackwarden}/src/qt6-base-6.4.2
translations=/usr/share/qt6/translations
name=trackwarden-$version-windows-x64
out=$build/package
stage=$out/$name
strip=x86_64-w64-mingw32-strip

for f in trackwarden.exe trackwarden-screens.exe trackwarden-cli.exe; do
  [ -f "$build/bin/$f" ] || { echo "windows-package: $build/bin/$f is not built" >&2; exit 1; }
done
[ -f "$translations/qtbase_pl.qm" ] || { echo "windows-package: no $translations/qtbase_pl.qm (qt6-translations-l10n)" >&2; exit 1; }
[ -d "$qtsrc/LICENSES" ] || { echo "windows-package: no Qt source in $qtsrc (make win-qt)" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$stage/translations" "$stage/Sets" "$stage/Sys" "$stage/licenses/qt" "$stage/relink/obj" "$stage/relink/lib"
for f in trackwarden.exe trackwarden-screens.exe trackwarden-cli.exe; do
  "$strip" -o "$stage/$f" "$build/bin/$f"
done
cp "$translations/qtbase_pl.qm" "$stage/translations/"

crlf() { sed 's/$/\r/' "$@"; }
# Polish texts: with a byte-order mark, so that any Notepad reads them as UTF-8.
{ printf '\xef\xbb\xbf'; crlf "$here/windows/CZYTAJ.txt"; } >"$stage/CZYTAJ.txt"
{ printf '\xef\xbb\xbf'; crlf "$here/windows/licenses.txt"; } >"$stage/licenses/README.txt"
for l in LGPL-3.0-only GPL-3.0-only GPL-2.0-only Qt-GPL-exception-1.0 BSD-3-Clause MIT; do
  crlf "$qtsrc/LICENSES/$l.txt" >"$stage/licenses/qt/$l.txt"
done
for part in freetype harfbuzz-ng pcre2 libpng zlib double-conversion md4c; do
  find "$qtsrc/src/3rdparty/$part" -maxdepth 2 -type f \
    \( -iname 'LICEN[CS]E*' -o -iname 'COPYING*' -o -name FTL.TXT \) | sort | while read -r f; do
      crlf "$f" >"$stage/licenses/qt/$part-$(basename "$f")"
    done
done
crlf /usr/share/doc/mingw-w64-common/copyright >"$stage/licenses/mingw-w64.txt"
crlf /usr/share/doc/gcc-mingw-w64-base/copyright >"$stage/licenses/gcc-runtime.txt"

# relink\: each program's own objects and libraries (without debug data) and
# its link line, with the Qt folder and the compiler as parameters.
cp "$here/qt-mingw.sh" "$here/mingw-w64.cmake" "$stage/relink/"
cp -r "$here/qt-patches" "$stage/relink/"
{
  echo '#!/bin/sh'
  echo '# Links the programs again against the static Qt in $QT (built as qt-mingw.sh'
  echo '# does, from Debian'"'"'s qt6-base source with qt-patches/), with MinGW-w64 g++.'
  echo '#   QT=/path/to/qt CXX=x86_64-w64-mingw32-g++-posix ./relink.sh'
  echo 'set -e'
  echo 'cd "$(dirname "$0")"'
  echo ': "${QT:?set QT to the static Qt 6.4 for MinGW}"'
  echo 'CXX=${CXX:-x86_64-w64-mingw32-g++-posix}'
  echo 'mkdir -p out'
} >"$stage/relink/relink.sh"
declare -A copied
# keep FILE: a file of the build tree, without debug data, under relink\; prints its name there.
keep() {
  local src=$1 dest
  dest=lib/$(echo "${src#"$build"/}" | tr '/' '_')
  if [ -z "${copied[$dest]:-}" ]; then
    "$strip" --strip-debug -o "$stage/relink/$dest" "$src"
    copied[$dest]=1
  fi
  echo "$dest"
}
# The link line is the last of CMake's link.txt; its objects and libraries
# come in response files (@file) and archives of the build tree.
for target in trackwarden:ui trackwarden-screens:ui trackwarden-cli:tools/cli; do
  exe=${target%%:*}
  dir=$build/${target#*:}
  words=()
  for w in $(tail -n 1 "$dir/CMakeFiles/$exe.dir/link.txt"); do
    if [ "${w#@}" != "$w" ]; then
      for r in $(cat "$dir/${w#@}"); do words+=("$r"); done
    else
      words+=("$w")
    fi
  done
  args=()
  for w in "${words[@]:1}"; do
    # Response files quote some paths (Qt's resource objects).
    w=${w#\"}
    w=${w%\"}
    src=$w
    [ "${src#/}" != "$src" ] || src=$dir/$w
    src=$(realpath -m "$src")
    case $w in
      -Wl,--out-implib,*) ;;
      */bin/$exe.exe) args+=("out/$exe.exe") ;;
      "$qt"/*) args+=("\"\$QT${w#"$qt"}\"") ;;
      *.a | *.obj) if [ -f "$src" ] && [ "${src#"$build"/}" != "$src" ]; then args+=("$(keep "$src")"); else args+=("$w"); fi ;;
      *) args+=("$w") ;;
    esac
  done
  echo "\"\$CXX\" ${args[*]}" >>"$stage/relink/relink.sh"
done
echo 'echo "relinked into $(pwd)/out"' >>"$stage/relink/relink.sh"
chmod +x "$stage/relink/relink.sh"

(cd "$out" && zip -qrX "$name.zip" "$name")
(cd "$out" && zip -qX "$name.zip" "$name/Sets/" "$name/Sys/" 2>/dev/null || true)

started=$(date +%s%N)
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" \
  -DOUTFILE="$out/$name-setup.exe" "$here/windows/installer.nsi"
took_ms=$(( ($(date +%s%N) - started) / 1000000 ))
echo "windows-package: $(du -h "$out/$name.zip" | cut -f1) $out/$name.zip"
echo "windows-package: $(du -h "$out/$name-setup.exe" | cut -f1) $out/$name-setup.exe (makensis $((took_ms / 1000)).$(printf %03d $((took_ms % 1000))) s)"
