#!/usr/bin/env bash
# The Windows release under Wine, in a fresh prefix:
#   cmake/windows-installer-test.sh SETUP_EXE NATIVE_BIN
# the zip's programs run and leave the registry as it was; a silent per-user
# install; the installed CLI writes a default set and its image
# byte-identical to the Linux build's; the installed window starts
# (offscreen) and its screens tool renders a tab; .set files belong to the
# window, and a set opened through that association starts the window with
# it; the silent uninstaller removes the programs, the shortcut and the
# association and keeps a set saved in Sets\.
set -uo pipefail

setup=$(realpath "${1:?usage: windows-installer-test.sh SETUP_EXE NATIVE_BIN}")
native_bin=$(realpath "${2:?usage: windows-installer-test.sh SETUP_EXE NATIVE_BIN}")
here=$(dirname "$(realpath "$0")")
. "$here/windows-wine.sh"
use_wine "$(dirname "$(dirname "$setup")")"
work=$(dirname "$setup")/installer-test
rm -rf "$work"
mkdir -p "$work"
# Wine's menu builder would copy our shortcut and file type into this
# machine's own menus and MIME database.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
failures=0
fail() { echo "windows-installer-test: FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "windows-installer-test: ok: $*"; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
# reg_value KEY [VALUE]: the data of a value (the key's default without VALUE), empty when missing.
reg_value() {
  local out
  if [ $# = 2 ]; then out=$("$wine" reg query "$1" /v "$2" 2>/dev/null); else out=$("$wine" reg query "$1" /ve 2>/dev/null); fi
  sed -n 's/\r$//; s/^ *[^ ].*  *REG_[A-Z_]*  *//p' <<<"$out" | head -1
}
has_key() { "$wine" reg query "$1" >/dev/null 2>&1; }
# The user's software keys as the running server holds them, without Wine's own.
user_registry() {
  "$wine" reg export 'HKCU\Software' "$(winpath "$work/registry.reg")" /y >/dev/null 2>&1
  iconv -f UTF-16LE -t UTF-8 "$work/registry.reg" 2>/dev/null | tr -d '\r' |
    awk '/^\[/ { wine = index($0, "[HKEY_CURRENT_USER\\Software\\Wine") == 1 } !wine'
}

"$wine" wineboot -i >/dev/null 2>&1
# A crashing program must end, not wait in a crash dialog.
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
"$wineserver" -w
"$wineserver" -p
# A display for the window on its own platform, as a double-click starts it.
trap '"$wineserver" -k 2>/dev/null || true; [ -z "${xvfb:-}" ] || kill "$xvfb" 2>/dev/null' EXIT
start_display "$work/xvfb-display" || fail "no Xvfb display"

# Where a per-user install lands: %LOCALAPPDATA%\Programs\Trackwarden.
user_dir=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local 2>/dev/null | grep -v /Public/ | head -1)
dir=$user_dir/Programs/Trackwarden
menu=$(dirname "$(dirname "$user_dir")")/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Trackwarden

# Wine has no Arial: the offscreen platform gets a folder of Liberation Sans alone.
mkdir -p "$work/fonts"
cp /usr/share/fonts/truetype/liberation/LiberationSans-*.ttf "$work/fonts/"

# The zip: its programs run from wherever it is unpacked and write nothing
# into the registry.
zip=${setup%-setup.exe}.zip
if [ -f "$zip" ] && unzip -q "$zip" -d "$work/unzipped"; then
  portable=$(ls -d "$work"/unzipped/*/ | head -1)
  [ -d "$portable/Sets" ] && [ -d "$portable/Sys" ] && [ -f "$portable/relink/relink.sh" ] &&
    pass "the zip holds the programs with Sets\\ and Sys\\ and relink\\" || fail "the zip lacks Sets\\, Sys\\ or relink\\"
  before=$(user_registry)
  (cd "$portable" && "$wine" trackwarden-cli.exe defaults 'Sets\zip.set' >/dev/null 2>&1)
  WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR="$(winpath "$work/fonts")" \
    timeout 15 "$wine" "$portable/trackwarden.exe" >/dev/null 2>&1
  [ $? = 124 ] && [ -s "$portable/Sets/zip.set" ] && pass "the zip's window and CLI ran" || fail "the zip's programs did not run"
  grep -q '^\[HKEY_CURRENT_USER\\Software' <<<"$before" && [ "$before" = "$(user_registry)" ] && pass "the zip's programs left the registry as it was" ||
    { fail "the zip's programs changed the registry"; diff <(echo "$before") <(user_registry) | head -10 | sed 's/^/    /'; }
  has_key 'HKCU\Software\Classes\.set' && fail ".set is associated before the install"
else
  fail "no zip beside the installer ($zip)"
fi

started=$(date +%s)
timeout 300 "$wine" "$setup" /S
echo "windows-installer-test: silent install took $(($(date +%s) - started)) s"
for f in trackwarden.exe trackwarden-station.exe trackwarden-cli.exe trackwarden-screens.exe Uninstall.exe CZYTAJ.txt \
         translations/qtbase_pl.qm licenses/README.txt licenses/qt/LGPL-3.0-only.txt relink/relink.sh \
         relink/CMakeLists.txt; do
  [ -f "$dir/$f" ] || fail "not installed: $f"
done
[ -d "$dir/Sets" ] && [ -d "$dir/Sys" ] && pass "installed into $(basename "$user_dir")\\Programs\\Trackwarden with Sets\\ and Sys\\" ||
  fail "no Sets\\ or Sys\\ beside the programs"
[ -f "$menu/Trackwarden.lnk" ] && pass "Start-menu shortcut" || fail "no Start-menu shortcut in $menu"
[ -f "$menu/Trackwarden - stanowisko.lnk" ] && pass "the station's Start-menu shortcut" ||
  fail "no Start-menu shortcut of the station in $menu"

# .set belongs to the window, with our icon, for this user only.
exe=$(winpath "$dir/trackwarden.exe")
exe=${exe/Z:\\*drive_c\\/C:\\}
class=$(reg_value 'HKCU\Software\Classes\.set')
command=$(reg_value "HKCU\\Software\\Classes\\$class\\shell\\open\\command")
icon=$(reg_value "HKCU\\Software\\Classes\\$class\\DefaultIcon")
[ "$class" = Trackwarden.Set ] && [ "$command" = "\"$exe\" \"%1\"" ] && pass ".set opens with $command" ||
  fail ".set is '$class', opened with '$command'"
[ "$icon" = "$exe,0" ] && pass "the file type's icon is the window's" || fail "the file type's icon is '$icon'"
has_key 'HKLM\Software\Classes\Trackwarden.Set' && fail "the association went to the machine, not the user"

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
# screens tool beside it renders a tab from the same code.
if [ -f "$dir/trackwarden.exe" ]; then
  WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR="$(winpath "$work/fonts")" \
    timeout 15 "$wine" "$dir/trackwarden.exe" >/dev/null 2>&1
  [ $? = 124 ] && pass "the installed window started and ran until stopped" || fail "the installed window ended on its own"
  (cd "$work" && WINEQT_QPA_FONTDIR="$(winpath "$work/fonts")" timeout 120 "$wine" "$dir/trackwarden-screens.exe" shots >/dev/null 2>&1)
  [ -s "$work/shots/tab-12-prog.png" ] && pass "the installed screens tool rendered the PROG tab" || fail "no tab rendered"
fi

# A set opened through the association, on the display: the window starts
# with it. Windows finds the user's classes under HKEY_CLASSES_ROOT, Wine's
# ShellExecute (its start) does not, so the command Explorer would find
# there is run as it would run it. The window's box "Informacja" is the
# mark of a file it was given and could not read; a set it reads shows none.
windows_named() { xwininfo -root -tree 2>/dev/null | grep -c "\"$1\""; }
open_set() { # NAME: opens Sets\NAME with the association's command; waits for the window
  local program=${command#\"}
  program=${program%%\"*}
  "$wine" "$program" "${exe%\\*}\\Sets\\$1" >/dev/null 2>&1 &
  disown
  for _ in $(seq 150); do [ "$(windows_named 'Trackwarden V1.5')" -gt 0 ] && break; sleep 0.2; done
  sleep 3
}
close_window() {
  "$wine" taskkill /f /im trackwarden.exe >/dev/null 2>&1
  for _ in $(seq 50); do [ "$(windows_named 'Trackwarden V1.5')" = 0 ] && break; sleep 0.2; done
}
if [ -n "${DISPLAY:-}" ] && [ "$command" = "\"$exe\" \"%1\"" ]; then
  head -c 100 /dev/zero >"$dir/Sets/damaged.set"
  cp "$work/linux.set" "$dir/Sets/klient A.set"
  open_set damaged.set
  [ "$(windows_named 'Trackwarden V1.5')" -gt 0 ] && [ "$(windows_named Informacja)" -gt 0 ] &&
    pass "a damaged set opened through the association: the window started with it and said so" ||
    fail "a damaged set opened through the association: window $(windows_named 'Trackwarden V1.5'), box $(windows_named Informacja)"
  close_window
  open_set "klient A.set"
  [ "$(windows_named 'Trackwarden V1.5')" -gt 0 ] && [ "$(windows_named Informacja)" = 0 ] &&
    pass "a set opened through the association: the window started and read it" ||
    fail "a set opened through the association: window $(windows_named 'Trackwarden V1.5'), box $(windows_named Informacja)"
  close_window
  rm -f "$dir/Sets/damaged.set" "$dir/Sets/klient A.set"
fi

# The release lets a user link the programs again with a Qt of their own
# (Qt is under the LGPL): relink\ with our Qt gives programs that work.
qt=$(sh "$here/qt-mingw.sh" --print prefix)
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

# A set the user saved stays; the programs, the shortcut and the association go.
cp "$work/linux.set" "$dir/Sets/mine.set"
timeout 300 "$wine" "$dir/Uninstall.exe" /S
# The uninstaller copies itself away and runs from there: wait for it.
for _ in $(seq 60); do [ -f "$dir/trackwarden.exe" ] || break; sleep 1; done
[ ! -e "$dir/trackwarden.exe" ] && [ ! -e "$dir/trackwarden-cli.exe" ] && [ ! -e "$dir/Uninstall.exe" ] &&
  pass "uninstall removed the programs" || fail "programs left after uninstall"
[ ! -e "$menu/Trackwarden.lnk" ] && pass "uninstall removed the shortcut" || fail "shortcut left after uninstall"
! has_key 'HKCU\Software\Classes\.set' && ! has_key 'HKCU\Software\Classes\Trackwarden.Set' &&
  pass "uninstall removed the association" || fail "the association is left after uninstall"
cmp -s "$work/linux.set" "$dir/Sets/mine.set" && pass "uninstall kept Sets\\mine.set" || fail "uninstall lost the user's set"

[ $failures = 0 ] && echo "windows-installer-test: all passed" || echo "windows-installer-test: $failures failed"
[ $failures = 0 ]
