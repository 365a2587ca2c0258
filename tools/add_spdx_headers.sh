#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
#
# Puts the licence header (the SPDX identifier and the copyright line) at the top of every
# source, build and script file that lacks it; a first line "#!" stays first. Run again, it
# changes nothing.
#   add_spdx_headers.sh [--check] [SOURCE_DIR]
# With --check it changes nothing, lists the files without the header and fails when there
# are any (the `spdx` test runs it so).
set -euo pipefail

check=false
if [ "${1-}" = --check ]; then
    check=true
    shift
fi
root=${1:-$(dirname "$0")/..}
cd "$root"

licence='SPDX-License-Identifier: GPL-3.0-or-later'
copyright='Copyright (C) 2026 The Kotrina developers'

# The comment that starts a line in each kind of file.
comment_for() {
    case $1 in
    *.in) comment_for "${1%.in}" ;; # a configured file is commented as what it becomes
    *.cpp | *.h) echo '//' ;;
    *.cmake | *.sh | *.py | *CMakeLists.txt) echo '#' ;;
    esac
}

# The files: C++ sources and headers, CMake files, shell and Python scripts and the files the
# build configures, in the folders that hold the program, its tests and its tools, and the
# CMake files of the whole tree.
list_files() {
    {
        find src tests tools bench fuzz scripts -type f \
            \( -name '*.cpp' -o -name '*.h' -o -name '*.cmake' -o -name '*.sh' -o -name '*.py' -o -name '*.in' \
            -o -name CMakeLists.txt \) 2>/dev/null
        find . -maxdepth 3 -name CMakeLists.txt -not -path './build*' -not -path './.git/*' 2>/dev/null | sed 's|^\./||'
    } | sort -u
}

# The header is one of the first lines (after a "#!" line and the lines it is part of).
has_header() {
    head -n 5 "$1" | grep -q "$licence"
}

missing=0
while IFS= read -r file; do
    has_header "$file" && continue
    if $check; then
        echo "$file: no licence header (run tools/add_spdx_headers.sh)" >&2
        missing=$((missing + 1))
        continue
    fi
    mark=$(comment_for "$file")
    [ -n "$mark" ] || continue
    tmp=$(mktemp "$file.XXXXXX")
    {
        first=$(head -n 1 "$file")
        if [[ $first == '#!'* ]]; then
            printf '%s\n' "$first"
            printf '%s %s\n%s %s\n' "$mark" "$licence" "$mark" "$copyright"
            tail -n +2 "$file"
        else
            printf '%s %s\n%s %s\n' "$mark" "$licence" "$mark" "$copyright"
            cat "$file"
        fi
    } >"$tmp"
    # Keep the file's mode (scripts stay executable).
    chmod --reference="$file" "$tmp"
    mv "$tmp" "$file"
    echo "header added: $file"
done < <(list_files)

if $check && [ "$missing" -gt 0 ]; then
    echo "$missing file(s) without the licence header" >&2
    exit 1
fi
exit 0
