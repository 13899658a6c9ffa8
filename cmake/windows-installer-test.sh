#!/usr/bin/env bash
# The installer under Wine, in a fresh prefix:
#   cmake/windows-installer-test.sh SETUP_EXE NATIVE_BIN
# a silent per-user install; the installed CLI writes a default set and its
# image byte-identical to the Linux build's; the installed window starts
# (offscreen) and its screens tool renders a tab; the silent uninstaller
# removes the programs and the shortcut and keeps a set saved in Sets\.
set -uo pipefail

setup=$(realpath "${1:?usage: windows-installer-test.sh SETUP_EXE NATIVE_BIN}")
native_bin=$(realpath "${2:?usage: windows-installer-test.sh SETUP_EXE NATIVE_BIN}")
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
work=$(dirname "$setup")/installer-test
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
failures=0
fail() { echo "windows-installer-test: FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "windows-installer-test: ok: $*"; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

"$wine" wineboot -i >/dev/null 2>&1
# A crashing program must end, not wait in a crash dialog.
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
"$wineserver" -w
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT

# Where a per-user install lands: %LOCALAPPDATA%\Programs\Trackwarden.
user_dir=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local 2>/dev/null | grep -v /Public/ | head -1)
dir=$user_dir/Programs/Trackwarden
menu=$(dirname "$(dirname "$user_dir")")/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Trackwarden

started=$(date +%s)
timeout 300 "$wine" "$setup" /S
echo "windows-installer-test: silent install took $(($(date +%s) - started)) s"
for f in trackwarden.exe trackwarden-cli.exe trackwarden-screens.exe Uninstall.exe CZYTAJ.txt \
         translations/qtbase_pl.qm licenses/qt/LGPL-3.0-only.txt relink/relink.sh; do
  [ -f "$dir/$f" ] || fail "not installed: $f"
done
[ -d "$dir/Sets" ] && [ -d "$dir/Sys" ] && pass "installed into $(basename "$user_dir")\\Programs\\Trackwarden with Sets\\ and Sys\\" ||
  fail "no Sets\\ or Sys\\ beside the programs"
[ -f "$menu/Trackwarden.lnk" ] && pass "Start-menu shortcut" || fail "no Start-menu shortcut in $menu"

# The installed CLI against the Linux build.
"$native_bin/trackwarden-cli" defaults "$work/linux.set" >/dev/null
"$native_bin/trackwarden-cli" image "$work/linux.set" "$work/linux.img" >/dev/null
(cd "$dir" && "$wine" trackwarden-cli.exe defaults 'Sets\default.set' >/dev/null 2>&1)
(cd "$dir" && "$wine" trackwarden-cli.exe image 'Sets\default.set' "$(winpath "$work/windows.img")" >/dev/null 2>&1)
cmp -s "$work/linux.set" "$dir/Sets/default.set" && pass "the installed CLI's default set equals Linux's" ||
  fail "the installed CLI's default set differs"
cmp -s "$work/linux.img" "$work/windows.img" && pass "the installed CLI's image equals Linux's" ||
  fail "the installed CLI's image differs"

# The installed window: it starts and keeps running (offscreen), and the
# screens tool beside it renders a tab from the same code. Wine has no
# Arial: the offscreen platform gets a folder of Liberation Sans alone.
mkdir -p "$work/fonts"
cp /usr/share/fonts/truetype/liberation/LiberationSans-*.ttf "$work/fonts/"
if [ -f "$dir/trackwarden.exe" ]; then
  WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR="$(winpath "$work/fonts")" \
    timeout 15 "$wine" "$dir/trackwarden.exe" >/dev/null 2>&1
  [ $? = 124 ] && pass "the installed window started and ran until stopped" || fail "the installed window ended on its own"
  (cd "$work" && WINEQT_QPA_FONTDIR="$(winpath "$work/fonts")" timeout 120 "$wine" "$dir/trackwarden-screens.exe" shots >/dev/null 2>&1)
  [ -s "$work/shots/tab-12-prog.png" ] && pass "the installed screens tool rendered the PROG tab" || fail "no tab rendered"
fi

# The release lets a user link the programs again with a Qt of their own
# (Qt is under the LGPL): relink\ with our Qt gives programs that work.
qt=${TW_QT_PREFIX:-$HOME/.cache/trackwarden/qt-6.4.2-mingw}
if [ -f "$dir/relink/relink.sh" ] && [ -d "$qt/lib" ]; then
  rm -rf "$work/relink"
  cp -r "$dir/relink" "$work/relink"
  if QT=$qt sh "$work/relink/relink.sh" >"$work/relink.log" 2>&1 &&
     [ -s "$work/relink/out/trackwarden.exe" ] && [ -s "$work/relink/out/trackwarden-screens.exe" ]; then
    "$wine" "$work/relink/out/trackwarden-cli.exe" defaults "$(winpath "$work/relinked.set")" >/dev/null 2>&1
    cmp -s "$work/linux.set" "$work/relinked.set" && pass "relink\ links the three programs again; the relinked CLI's set equals Linux's" ||
      fail "the relinked CLI's default set differs"
  else
    fail "relink\relink.sh failed"; tail -5 "$work/relink.log" | sed 's/^/    /'
  fi
else
  fail "no relink\ installed or no Qt in $qt to relink with"
fi

# A set the user saved stays; the programs and the shortcut go.
cp "$work/linux.set" "$dir/Sets/mine.set"
timeout 300 "$wine" "$dir/Uninstall.exe" /S
# The uninstaller copies itself away and runs from there: wait for it.
for _ in $(seq 60); do [ -f "$dir/trackwarden.exe" ] || break; sleep 1; done
[ ! -e "$dir/trackwarden.exe" ] && [ ! -e "$dir/trackwarden-cli.exe" ] && [ ! -e "$dir/Uninstall.exe" ] &&
  pass "uninstall removed the programs" || fail "programs left after uninstall"
[ ! -e "$menu/Trackwarden.lnk" ] && pass "uninstall removed the shortcut" || fail "shortcut left after uninstall"
cmp -s "$work/linux.set" "$dir/Sets/mine.set" && pass "uninstall kept Sets\\mine.set" || fail "uninstall lost the user's set"

[ $failures = 0 ] && echo "windows-installer-test: all passed" || echo "windows-installer-test: $failures failed"
[ $failures = 0 ]
