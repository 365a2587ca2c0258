#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
# The Debian package: `cpack -G DEB` of the build, made in a folder of its own, holds the
# licence and history Debian asks of every package, both manual pages, and control data with
# a known section and no made-up address; lintian finds no error in it.
#   check_package.sh CPACK BUILD_DIR
set -euo pipefail
cpack=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! "$cpack" -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    exit 1
fi
deb=$(find "$work" -maxdepth 1 -name 'kotrina_*.deb' | head -1)
[ -n "$deb" ] || {
    echo "FAIL: cpack made no kotrina_*.deb" >&2
    exit 1
}

field() { dpkg-deb -f "$deb" "$1"; }
case $(field Section) in
misc | utils) ;;
*) fail "the section $(field Section) is not one Debian knows for a program" ;;
esac
[[ $(field Version) == *-* ]] || fail "the version $(field Version) has no Debian revision (changelog.Debian is for such)"
field Maintainer | grep -q '^.* <.*@.*>$' || fail "the maintainer is not 'Name <address>': $(field Maintainer)"
if dpkg-deb -I "$deb" | grep -qi 'example\.'; then
    fail "the control data names a made-up address: $(dpkg-deb -I "$deb" | grep -i 'example\.')"
fi

# The barcode library the sheets draw with comes from the program's own links.
field Depends | grep -q 'libzint2\.11' || fail "the package does not depend on libzint2.11: $(field Depends)"

files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for f in ./usr/bin/kotrina ./usr/share/doc/kotrina/copyright ./usr/share/doc/kotrina/changelog.Debian.gz \
    ./usr/share/man/man1/kotrina.1.gz ./usr/share/man/ja/man1/kotrina.1.gz ./usr/share/mime/packages/kotrina.xml; do
    grep -qx -- "$f" <<<"$files" || fail "the package lacks $f"
done

# The newest entry of the package's history is the package's own version.
mkdir -p "$work/tree"
dpkg-deb -x "$deb" "$work/tree"
logged=$(gzip -dc "$work/tree/usr/share/doc/kotrina/changelog.Debian.gz" | dpkg-parsechangelog -l - -S Version)
[ "$logged" = "$(field Version)" ] || fail "changelog.Debian is for $logged, the package is $(field Version)"

# lintian: errors fail; what it warns of is printed for the reader.
if command -v lintian >/dev/null; then
    lintian --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1 || true
    cat "$work/lintian.log"
    if grep -q '^E: ' "$work/lintian.log"; then
        fail "lintian reports errors"
    fi
elif [ "${CI:-}" = true ]; then
    fail "lintian is not installed"
else
    echo "lintian is not installed: the package is not linted" >&2
fi

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "package $(basename "$deb") complete"
