#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
# Import benchmark, run by hand (not by ctest):
#   1. a 1,000,000-line code page 932 file (40 categories, 7,000 products) imported with
#      `kotrina import lines` into a fresh database made from the template, against the
#      sqlite3 program's .import of the same lines (converted to UTF-8) into a table of the
#      same columns without indexes, both timed in this run; the ratio (target <= 2) and the
#      import's peak resident memory (target <= 150 MB);
#   2. 200,000 products through `kotrina import products` (target <= 1 s);
#   3. 100,000 products with 150,000 codes, imported with their codes and with the code
#      column left out (`--map JANコード=`): the codes should cost little beside the products.
# Usage: bench/import_bench.sh [BUILD_DIR] [LINES]
set -eu
build=$(cd "${1:-build}" && pwd)
count=${2:-1000000}
program=$build/kotrina
template=$build/Kotrina.idb
work=$(mktemp -d /tmp/kotrina-import-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export KOTRINA_HOME=$work/home # no saved column assignment: headings equal to the labels
export QT_QPA_PLATFORM=offscreen

# Seconds elapsed while running a command, with its processor time (user + system) in
# $work/cpu and its peak resident memory in $work/rss (KB). On a busy machine the elapsed
# times of both sides stretch unevenly; the processor times do not.
timed() {
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >"$work/out" 2>"$work/err" || {
        cat "$work/out" "$work/err"
        exit 1
    }
    read -r seconds user system kb <"$work/time"
    echo "$kb" >"$work/rss"
    echo "$user + $system" | bc >"$work/cpu"
    echo "$seconds"
}

"$build/bench/import_bench_data" lines "$work/lines.txt" "$work/lines-utf8.txt" "$count"
"$build/bench/import_bench_data" products "$work/products.txt" 200000
echo "lines file: $count lines, $(($(stat -c %s "$work/lines.txt") / 1048576)) MB in code page 932"

# sqlite3's own .import, the yardstick: a plain table of the same columns, no indexes.
cat >"$work/plain.sql" <<'EOF'
CREATE TABLE "棚卸マスター" ("項目分類名" TEXT, "品名" TEXT, "数量" REAL, "単位" TEXT, "単価" REAL, "価格" REAL,
                             "備考" TEXT);
EOF
sqlite3 "$work/plain.db" <"$work/plain.sql"
sqlite_seconds=$(timed sqlite3 "$work/plain.db" -cmd '.mode tabs' ".import --skip 1 $work/lines-utf8.txt 棚卸マスター")
sqlite_cpu=$(cat "$work/cpu")
echo "sqlite3 .import:          ${sqlite_seconds} s elapsed, ${sqlite_cpu} s processor ($(sqlite3 "$work/plain.db" 'SELECT count(*) FROM "棚卸マスター"') rows)"

cp "$template" "$work/fresh.idb"
import_seconds=$(timed "$program" import lines "$work/fresh.idb" --date 2026-03-31 --file "$work/lines.txt")
import_mb=$(($(cat "$work/rss") / 1024))
import_cpu=$(cat "$work/cpu")
echo "kotrina import lines:     ${import_seconds} s elapsed, ${import_cpu} s processor, peak resident memory ${import_mb} MB"
sed 's/^/    /' "$work/out"
echo "ratio import / .import:   $(echo "scale=2; $import_seconds / $sqlite_seconds" | bc) elapsed," \
    "$(echo "scale=2; $import_cpu / $sqlite_cpu" | bc) processor (target <= 2); memory target <= 150 MB"

cp "$template" "$work/products.idb"
products_seconds=$(timed "$program" import products "$work/products.idb" --file "$work/products.txt")
echo "kotrina import products:  ${products_seconds} s elapsed, $(cat "$work/cpu") s processor for 200,000 products (target <= 1 s), peak $(($(cat "$work/rss") / 1024)) MB"
sed 's/^/    /' "$work/out"

"$build/bench/import_bench_data" products-codes "$work/codes.txt" 100000
cp "$template" "$work/without.idb"
without_seconds=$(timed "$program" import products "$work/without.idb" --file "$work/codes.txt" --map 'JANコード=')
without_cpu=$(cat "$work/cpu")
cp "$template" "$work/codes.idb"
codes_seconds=$(timed "$program" import products "$work/codes.idb" --file "$work/codes.txt")
codes_cpu=$(cat "$work/cpu")
echo "kotrina import products:  100,000 products ${without_seconds} s elapsed (${without_cpu} s processor)," \
    "with their $(sqlite3 "$work/codes.idb" 'SELECT count(*) FROM "商品コード"') codes ${codes_seconds} s" \
    "(${codes_cpu} s processor), peak $(($(cat "$work/rss") / 1024)) MB"
