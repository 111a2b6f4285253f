#!/bin/sh
# Builds the Debian package of a build folder, unpacks it into a scratch root with dpkg -x and
# checks what it holds, what it depends on, that lintian finds no error in it, and that the
# program in it runs.
#   DebPackageTest.sh BUILD_FOLDER VERSION
set -eu
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT INT TERM
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; fail "cpack -G DEB"; }
deb=$(ls "$scratch"/out/kalmora_"$version"_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no kalmora_${version}_*.deb in $(ls "$scratch/out")"
dpkg -x "$deb" "$scratch/root"

# Exactly these files, nothing of the build (tests, tools, benchmarks).
cat >"$scratch/expected" <<LIST
usr/bin/kalmora
usr/bin/sheet-tool
usr/libexec/kalmora/sheet-tool-engine
usr/libexec/kalmora/sheet-tool-render
usr/libexec/kalmora/sheet-tool-svg.so
usr/share/applications/io.pendrel.Kalmora.desktop
usr/share/doc/kalmora/changelog.gz
usr/share/doc/kalmora/copyright
usr/share/icons/hicolor/128x128/apps/io.pendrel.Kalmora.png
usr/share/icons/hicolor/256x256/apps/io.pendrel.Kalmora.png
usr/share/icons/hicolor/32x32/apps/io.pendrel.Kalmora.png
usr/share/icons/hicolor/48x48/apps/io.pendrel.Kalmora.png
usr/share/icons/hicolor/scalable/apps/io.pendrel.Kalmora.svg
usr/share/man/man1/kalmora.1.gz
usr/share/man/man1/sheet-tool.1.gz
usr/share/metainfo/io.pendrel.Kalmora.metainfo.xml
LIST
(cd "$scratch/root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) >"$scratch/actual"
LC_ALL=C sort -o "$scratch/expected" "$scratch/expected"
diff -u "$scratch/expected" "$scratch/actual" || fail "the package holds other files than expected"

[ -x "$scratch/root/usr/bin/kalmora" ] || fail "kalmora is not executable"
gzip -t "$scratch/root/usr/share/man/man1/kalmora.1.gz" || fail "the manual page is not gzip"
grep -q '^Icon=io.pendrel.Kalmora$' "$scratch/root/usr/share/applications/io.pendrel.Kalmora.desktop" \
    || fail "the desktop entry names another icon"
grep -q "<release version=\"$version\"" "$scratch/root/usr/share/metainfo/io.pendrel.Kalmora.metainfo.xml" \
    || fail "the metainfo names another version"

grep -q '^StartupWMClass=Kalmora$' "$scratch/root/usr/share/applications/io.pendrel.Kalmora.desktop" \
    || fail "the desktop entry names another window class than the program's"
changes=$(gzip -dc "$scratch/root/usr/share/doc/kalmora/changelog.gz" | head -n 1)
case "$changes" in "kalmora ($version) "*) ;; *) fail "the change log starts with '$changes', not version $version" ;; esac

[ "$(dpkg-deb -f "$deb" Package)" = kalmora ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libgsf-1-114 fonts-liberation2; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | grep -qx "$package" || fail "Depends lacks $package"
done

# The description is one paragraph per blank line, no line past 80 characters.
description=$(dpkg-deb -f "$deb" Description)
echo "$description" | awk 'length > 80 { exit 1 }' || fail "a description line is longer than 80 characters"
case "$description" in *";"*) fail "the description holds a list separator: $description" ;; esac

# What a Debian archive checks; any error fails the test, the rest is shown.
if command -v lintian >/dev/null; then
    lintian --fail-on error --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 && lint=0 || lint=$?
    echo "lintian:"; sed 's/^/  /' "$scratch/lintian.log"
    [ "$lint" -eq 0 ] || fail "lintian reports errors"
else
    fail "lintian is not installed (scripts/deps.sh --tests installs it)"
fi

# The unpacked program runs, with the system's libraries only.
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$scratch/root/usr/bin/kalmora" --version) || fail "kalmora --version"
[ "$out" = "kalmora $version" ] || fail "kalmora --version printed '$out'"
# sheet-tool finds both of its halves in the library folder.
out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$scratch/root/usr/bin/sheet-tool" --version) || fail "sheet-tool --version"
[ "$out" = "sheet-tool $version" ] || fail "sheet-tool --version printed '$out'"
err=$(env -u DISPLAY -u QT_QPA_PLATFORM "$scratch/root/usr/bin/sheet-tool" render "$scratch/none.xls" "$scratch/none.png" 2>&1) \
    && fail "sheet-tool render of a missing workbook succeeded"
case "$err" in *none.xls*) ;; *) fail "sheet-tool render printed '$err'" ;; esac

# Installable here: dpkg finds every dependency (it changes nothing with --dry-run).
if [ "$(id -u)" -eq 0 ]; then
    dpkg --dry-run -i "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg --dry-run -i"; }
else
    echo "not root: the dry-run installation was left out"
fi
echo "package ok: $(basename "$deb")"
