#!/bin/bash
# The installed tree: `cmake --install` into a fresh prefix holds every file the program
# looks for and every file a desktop needs to offer it, and the program started from there
# finds its template and its manual.
#   check_install.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
need() {
    [ -f "$prefix/$1" ] || fail "$1 is not installed"
}

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

# The manual comes from its own folder of the build. Only while the build has none is a
# stand-in page put where it would be installed, so that what follows still checks that
# the program looks for it there; a build with a manual must install it.
if [ -d "$build/manual" ]; then
    need share/kotrina/manual/index.html
else
    mkdir -p "$prefix/share/kotrina/manual"
    echo '<html><body>stand-in</body></html>' >"$prefix/share/kotrina/manual/index.html"
fi

[ -x "$prefix/bin/kotrina" ] || fail "bin/kotrina is not an installed program"
need share/kotrina/Kotrina.idb
need share/applications/kotrina.desktop
need share/mime/packages/kotrina.xml
need share/man/man1/kotrina.1.gz
need share/icons/hicolor/scalable/apps/kotrina.svg
for size in 16 24 32 48 64 128 256; do
    png=share/icons/hicolor/${size}x${size}/apps/kotrina.png
    need "$png"
    # The width and height in the PNG header are those of the folder.
    if [ -f "$prefix/$png" ]; then
        got=$(/usr/bin/python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$prefix/$png")
        [ "$got" = "${size}x${size}" ] || fail "$png is $got"
    fi
done

# The menu entry is valid, starts the installed program with the chosen file and offers
# itself for the file type the installed type definition declares for *.idb.
desktop=$prefix/share/applications/kotrina.desktop
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate refuses kotrina.desktop"
    grep -qx 'Exec=kotrina %f' "$desktop" || fail "the menu entry does not start kotrina with the file"
    grep -qx 'Name\[ja\]=棚卸表 Kotrina' "$desktop" || fail "the menu entry lacks its Japanese name"
    grep -qx 'Categories=Office;' "$desktop" || fail "the menu entry is not under Office"
    grep -qx 'MimeType=application/x-kotrina-idb;' "$desktop" || fail "the menu entry does not open .idb files"
fi
# Installing straight into a prefix brings the file type into the prefix's database.
grep -q '^50:application/x-kotrina-idb:\*\.idb$' "$prefix/share/mime/globs2" 2>/dev/null \
    || fail "share/mime does not map *.idb to application/x-kotrina-idb"

# Started from the prefix, the program finds its own files there, not in the build.
home=$prefix/home
mkdir -p "$home"
if out=$(HOME=$home XDG_CONFIG_HOME=$home/config KOTRINA_HOME=$home/data "$prefix/bin/kotrina" version 2>&1); then
    grep -qx "初期設定用のファイル: $prefix/share/kotrina/Kotrina.idb" <<<"$out" \
        || fail "the installed program looks for its template elsewhere: $out"
    grep -qx "マニュアル: $prefix/share/kotrina/manual/index.html" <<<"$out" \
        || fail "the installed program looks for its manual elsewhere: $out"
else
    fail "the installed program does not find its files: $out"
fi
# And the program of the build tree keeps finding the template beside it.
out=$(HOME=$home XDG_CONFIG_HOME=$home/config KOTRINA_HOME=$home/data "$build/kotrina" --version 2>&1) || true
grep -qx "初期設定用のファイル: $build/Kotrina.idb" <<<"$out" \
    || fail "the program of the build looks for its template elsewhere: $out"

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "installed tree complete in $prefix"
