#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
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
need share/man/ja/man1/kotrina.1.gz
need share/doc/kotrina/copyright
need share/doc/kotrina/changelog.Debian.gz
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

# Compressed as Debian wants it (gzip -9n): no file name and no time in the gzip header.
gzip_plain() {
    /usr/bin/python3 -c 'import sys; h=open(sys.argv[1],"rb").read(10); sys.exit(not (h[:3]==b"\x1f\x8b\x08" and h[3]&8==0 and h[4:8]==bytes(4) and h[8]==2))' "$1"
}
for gz in share/man/man1/kotrina.1.gz share/man/ja/man1/kotrina.1.gz share/doc/kotrina/changelog.Debian.gz; do
    [ ! -f "$prefix/$gz" ] || gzip_plain "$prefix/$gz" || fail "$gz is not compressed with gzip -9n"
done

# The licence in Debian's machine-readable form: GPL-3.0-or-later for every file, its text
# referred to where Debian keeps it.
copyright=$prefix/share/doc/kotrina/copyright
if [ -f "$copyright" ]; then
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" \
        || fail "copyright is not in the machine-readable format"
    grep -qx 'Files: \*' "$copyright" || fail "copyright does not cover every file"
    [ "$(grep -c '^License: GPL-3+$' "$copyright")" -eq 2 ] || fail "copyright lacks the GPL-3+ licence and its text"
    grep -q '/usr/share/common-licenses/GPL-3' "$copyright" || fail "copyright does not point at the licence text"
fi

# The history: a Debian changelog whose newest entry is this version of the program, with a
# maintainer line dpkg can read.
changelog=$prefix/share/doc/kotrina/changelog.Debian.gz
if [ -f "$changelog" ]; then
    version=$(gzip -dc "$changelog" | dpkg-parsechangelog -l - -S Version 2>&1) || fail "dpkg cannot read changelog.Debian: $version"
    program=$(HOME=$prefix XDG_CONFIG_HOME=$prefix/config KOTRINA_HOME=$prefix/data "$prefix/bin/kotrina" --version 2>/dev/null | head -1) || true
    [ "Kotrina ${version%-*}" = "$program" ] || fail "changelog.Debian is for $version, the program is $program"
    gzip -dc "$changelog" | dpkg-parsechangelog -l - -S Maintainer | grep -q '^.* <.*@.*>$' \
        || fail "changelog.Debian names no maintainer"
fi

# The file type also by content: a business file without .idb is still one, an SQLite file
# without the program's stamp stays an SQLite database. Asked as a desktop asks (xdg-mime,
# through GIO), of the shared MIME database of the prefix and the system.
if [ -x /usr/bin/gio ]; then
    samples=$prefix/samples
    mkdir -p "$samples"
    cp "$prefix/share/kotrina/Kotrina.idb" "$samples/棚卸2026"
    cp "$prefix/share/kotrina/Kotrina.idb" "$samples/shop.db"
    /usr/bin/python3 -c 'import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); c.execute("create table t(a)"); c.commit()' \
        "$samples/other"
    mime_of() {
        XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME=$prefix/no-user-data XDG_DATA_DIRS=$prefix/share:/usr/share \
            xdg-mime query filetype "$1" 2>/dev/null
    }
    for sample in 棚卸2026 shop.db; do
        got=$(mime_of "$samples/$sample")
        [ "$got" = application/x-kotrina-idb ] || fail "a business file named $sample is $got"
    done
    got=$(mime_of "$samples/other")
    [ "$got" = application/vnd.sqlite3 ] || fail "an SQLite file without the stamp is $got"
else
    fail "gio (libglib2.0-bin) is missing: the file type by content is not checked"
fi

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
