#!/bin/bash
# The Debian package as a user gets it: contents, dependencies, lintian, then
# the unpacked programs run from a temporary root with HOME in a temporary
# folder. Usage: package-test.sh BUILD_DIR (after make package).
set -u
BUILD=$(cd "${1:-build}" && pwd)
VERSION=$(sed -n 's/^CPACK_PACKAGE_VERSION:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
VERSION=${VERSION:-$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")/\1/p' "$BUILD/CPackConfig.cmake")}
DEB="$BUILD/package/trackwarden_${VERSION}_$(dpkg --print-architecture).deb"
DRIVE="$BUILD/packaging/test/libtrackwarden-drive-save.so"
REPORT="$BUILD/packaging/test/libtrackwarden-drive-report.so"
SCRATCH=$(mktemp -d)
SIM_PID=
cleanup() {
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  rm -rf "$SCRATCH"
}
trap cleanup EXIT

FAILED=0
fail() { echo "FAIL: $*"; FAILED=1; }
pass() { echo "ok:   $*"; }

[ -f "$DEB" ] || { echo "FAIL: no package $DEB (make package)"; exit 1; }
echo "package: $DEB"

# Contents: the programs on the PATH, the menu entry, the icon at every size,
# the sets' MIME type, the manual pages in English and Polish, the copyright
# file; nothing under /usr/local.
PROGRAMS="trackwarden trackwarden-station trackwarden-cli trackwarden-sim"
LISTING=$(dpkg-deb --contents "$DEB")
CONTENTS=$(awk '{print $6}' <<<"$LISTING" | sed 's#^\./#/#')
for f in /usr/bin/trackwarden /usr/bin/trackwarden-station /usr/bin/trackwarden-cli /usr/bin/trackwarden-sim \
         /usr/share/applications/trackwarden.desktop /usr/share/applications/trackwarden-station.desktop \
         /usr/share/mime/packages/trackwarden.xml \
         /usr/share/icons/hicolor/scalable/apps/trackwarden.svg \
         /usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/trackwarden.png \
         $(for p in $PROGRAMS; do echo /usr/share/man/man1/$p.1.gz /usr/share/man/pl/man1/$p.1.gz; done) \
         /usr/share/doc/trackwarden/copyright /usr/share/doc/trackwarden/changelog.gz; do
  grep -qx "$f" <<<"$CONTENTS" && pass "contains $f" || fail "missing $f"
done
grep -q '^/usr/local' <<<"$CONTENTS" && fail "files under /usr/local"
for f in $PROGRAMS; do
  grep -q "^-rwxr-xr-x root/root .* \./usr/bin/$f\$" <<<"$LISTING" \
    && pass "$f executable, owned by root" || fail "$f mode or owner"
done

# Dependencies: the Qt runtime found in the binaries, plus what is loaded by name.
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
echo "Depends: $DEPENDS"
for d in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 fonts-liberation qt6-translations-l10n; do
  sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$DEPENDS" | grep -qxF "$d" && pass "depends on $d" || fail "no dependency on $d"
done

# Not one tag, pedantic, informational and experimental ones included.
if command -v lintian >/dev/null; then
  LINTIAN=$(lintian --pedantic --display-info --display-experimental --info "$DEB" 2>&1); STATUS=$?
  echo "$LINTIAN" | grep -v '^running with root privileges' | sed 's/^/  lintian: /'
  TAGS=$(sed -n 's/^[EWIPXO]: [^ ]*: \([^ ]*\).*/\1/p' <<<"$LINTIAN" | sort -u)
  [ $STATUS -eq 0 ] && [ -z "$TAGS" ] && pass "lintian --pedantic gives no tag" || fail "lintian (exit $STATUS) tags: $(echo $TAGS)"
else
  fail "lintian is not installed"
fi

ROOT="$SCRATCH/root"
dpkg-deb -x "$DEB" "$ROOT" || fail "unpack"
for entry in trackwarden trackwarden-station; do
  desktop-file-validate "$ROOT/usr/share/applications/$entry.desktop" && pass "the desktop entry $entry is valid" ||
    fail "the desktop entry $entry is not valid"
done

# Each manual page formats without a warning for a reader in the C locale
# and in a Polish one (made here: the machine may have none).
mkdir -p "$SCRATCH/locale"
localedef -i pl_PL -c -f UTF-8 "$SCRATCH/locale/pl_PL.UTF-8" 2>/dev/null ||
  fail "no Polish locale for the manual pages (localedef, package locales)"
for p in "$ROOT"/usr/share/man/man1/*.gz "$ROOT"/usr/share/man/pl/man1/*.gz; do
  for L in C pl_PL.UTF-8; do
    WARN=$(LOCPATH="$SCRATCH/locale" LC_ALL=$L MANROFFSEQ='' man --warnings -l "$p" 2>&1 >"$SCRATCH/page")
    [ -z "$WARN" ] && [ -s "$SCRATCH/page" ] || fail "${p#"$ROOT"} in $L: ${WARN:-empty}"
  done
done
[ "$(LOCPATH="$SCRATCH/locale" LC_ALL=pl_PL.UTF-8 man -l "$ROOT/usr/share/man/pl/man1/trackwarden.1.gz" 2>/dev/null |
    grep -c 'SKŁADNIA')" = 1 ] && pass "manual pages format cleanly in C and Polish" || fail "the Polish page reads wrong"

# The unpacked CLI writes the same default set as the build's.
"$ROOT/usr/bin/trackwarden-cli" defaults "$SCRATCH/installed.set" &&
"$BUILD/bin/trackwarden-cli" defaults "$SCRATCH/built.set" &&
cmp -s "$SCRATCH/installed.set" "$SCRATCH/built.set" && pass "defaults byte-identical to the build's" \
  || fail "defaults differ from the build's"

# The unpacked window with a fresh HOME: its folder appears under
# ~/.local/share, the save dialog opens in its Sets/ and the set lands there.
export HOME="$SCRATCH/home"
unset XDG_DATA_HOME
mkdir -p "$HOME"
USERDIR="$HOME/.local/share/trackwarden"
OUT=$(QT_QPA_PLATFORM=offscreen TW_DRIVE_SAVE_AS=z-pakietu.set LD_PRELOAD="$DRIVE" \
      timeout 60 "$ROOT/usr/bin/trackwarden" 2>"$SCRATCH/window.err"); STATUS=$?
echo "$OUT" | sed 's/^/  window: /'
[ $STATUS -eq 0 ] && pass "window ran and ended" || { fail "window exit $STATUS"; cat "$SCRATCH/window.err"; }
[ -d "$USERDIR/Sets" ] && [ -d "$USERDIR/Sys" ] && pass "per-user folder made with Sets/ and Sys/" \
  || fail "no $USERDIR/Sets and Sys"
grep -qx "dialog: $USERDIR/Sets" <<<"$OUT" && pass "save dialog opened in the per-user Sets/" \
  || fail "save dialog folder"
cmp -s "$USERDIR/Sets/z-pakietu.set" "$SCRATCH/built.set" && pass "set saved through the window in the per-user Sets/" \
  || fail "no saved set in $USERDIR/Sets"
[ -z "$(ls -A "$ROOT/usr/bin" | grep -v '^trackwarden')" ] && pass "nothing written beside the programs" \
  || fail "files beside the programs: $(ls "$ROOT/usr/bin")"

# A set double-clicked in a file manager: shared-mime-info names its type
# from the package's MIME file, the desktop entry is its default program,
# and gio (what GNOME's file manager uses; xdg-open does the same there)
# starts the window with it, which reads it from the per-user Sets/.
export XDG_DATA_DIRS="$ROOT/usr/share:/usr/share" XDG_CONFIG_HOME="$HOME/.config" XDG_CURRENT_DESKTOP=GNOME
update-mime-database "$ROOT/usr/share/mime" && update-desktop-database "$ROOT/usr/share/applications" ||
  fail "update-mime-database or update-desktop-database"
cp "$SCRATCH/built.set" "$USERDIR/Sets/klient A.set"
TYPE=$(xdg-mime query filetype "$USERDIR/Sets/klient A.set" 2>&1)
[ "$TYPE" = application/x-trackwarden-set ] && pass "xdg-mime: a .set is $TYPE" || fail "xdg-mime filetype: $TYPE"
DEFAULT=$(xdg-mime query default application/x-trackwarden-set 2>&1)
[ "$DEFAULT" = trackwarden.desktop ] && pass "xdg-mime: its default program is $DEFAULT" || fail "xdg-mime default: $DEFAULT"
for OPENER in "gio open" xdg-open; do
  rm -f "$SCRATCH/opened"
  PATH="$ROOT/usr/bin:$PATH" QT_QPA_PLATFORM=offscreen LD_PRELOAD="$REPORT" TW_DRIVE_REPORT="$SCRATCH/opened" \
    $OPENER "$USERDIR/Sets/klient A.set" >"$SCRATCH/opener.out" 2>&1 || fail "$OPENER: $(cat "$SCRATCH/opener.out")"
  for _ in $(seq 300); do [ -s "$SCRATCH/opened" ] && break; sleep 0.1; done
  echo "  $OPENER: $(paste -sd'|' "$SCRATCH/opened" 2>/dev/null)"
  grep -qx 'status: klient A.set' "$SCRATCH/opened" 2>/dev/null && ! grep -q '^box:' "$SCRATCH/opened" &&
    pass "$OPENER started the window with the set, which it read" || fail "$OPENER did not start the window with the set"
done
unset XDG_DATA_DIRS XDG_CONFIG_HOME XDG_CURRENT_DESKTOP

# The unpacked CLI reaches COM1 through the per-user Sys/COM1, where the
# simulator holding the same set's image listens.
"$ROOT/usr/bin/trackwarden-cli" image "$SCRATCH/installed.set" "$SCRATCH/image.bin" >/dev/null
"$ROOT/usr/bin/trackwarden-sim" --link "$USERDIR/Sys/COM1" --memory "$SCRATCH/image.bin" --delay 0 \
  >"$SCRATCH/sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 50); do [ -L "$USERDIR/Sys/COM1" ] && break; sleep 0.1; done
"$ROOT/usr/bin/trackwarden-cli" compare "$SCRATCH/installed.set" --port COM1 >"$SCRATCH/compare.out" 2>&1 \
  && pass "CLI compared through the per-user Sys/COM1" \
  || { fail "CLI compare through the per-user Sys/COM1"; tail -5 "$SCRATCH/compare.out"; }

[ $FAILED -eq 0 ] && echo "package test passed" || echo "package test FAILED"
exit $FAILED
