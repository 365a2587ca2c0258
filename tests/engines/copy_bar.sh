#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
# A shop moves to a server and counts there with four stations at once, through the command line
# alone, on a throwaway PostgreSQL cluster (pg_virtualenv):
#   a business file written by the sqlite3 program, not by Kotrina; `kotrina server init` of an
#   empty database; `kotrina copy FILE URI`; four `kotrina import lines` into four dates running
#   at the same time; then `kotrina check` on the server finds every line once (and the same lines
#   without a master as on the file), each date holds each imported line exactly once, and
#   `kotrina print sheet` of the same date from the file and from the server gives the same words.
# Usage: copy_bar.sh KOTRINA TEMPLATE
# Without pg_virtualenv it is skipped (status 77), but under CI, where it fails.
set -eu
kotrina=$1
template=$2

if [ -z "${KOTRINA_BAR_CLUSTER:-}" ]; then
    if ! command -v pg_virtualenv >/dev/null; then
        echo "pg_virtualenv is not installed (package postgresql-common)"
        [ -n "${CI:-}" ] && exit 1
        exit 77
    fi
    # -t: a cluster of its own in a temporary folder, even as root, beside any other run.
    KOTRINA_BAR_CLUSTER=1 exec pg_virtualenv -t "$0" "$@"
fi

work=$(mktemp -d /tmp/kotrina-copy-bar.XXXXXX)
trap 'wait; rm -rf "$work"' EXIT
export KOTRINA_HOME=$work/home XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
fail() {
    echo "FAIL: $*"
    exit 1
}

# The business file, made by the sqlite3 program from the template's tables: a date to print
# (2025-03-31) and a date with a line whose category is gone and one whose product is missing.
file=$work/shop.idb
{
    echo "PRAGMA application_id = 1263817294; PRAGMA user_version = 5;"
    sqlite3 "$template" .schema
    cat <<'SQL'
INSERT INTO 項目分類 VALUES (0, '未区分'), (1, '食品'), (2, '雑貨'), (3, '飲料');
INSERT INTO 仕入商品 VALUES (1, 'りんご', 100, '個'), (2, 'ﾒﾓ帳', 80, '冊'), (3, '緑茶 500ml', 98, '本');
INSERT INTO 単位 VALUES (1, '個'), (2, '冊'), (3, '本');
INSERT INTO 商品コード VALUES ('4901234567894', 1, 0);
INSERT INTO 棚卸マスター VALUES
  (1, '2025-03-31', 1, 'りんご', 12, '個', 100, 1200, NULL, NULL, 1, 0),
  (2, '2025-03-31', 3, '緑茶 500ml', 24, '本', 98, 2352, '倉庫', NULL, 3, 0),
  (3, '2025-03-31', 2, 'ﾒﾓ帳', 0.5, '冊', 80, 40, NULL, NULL, 2, 0),
  (4, '2026-03-31', 9, 'ﾒﾓ帳', 2, '冊', 80, 160, NULL, NULL, 2, 0),
  (5, '2026-03-31', 1, '幻の品', 1, '個', 5, 5, NULL, NULL, 99, 0),
  (6, '2026-03-31', 1, 'りんご', 10, '個', 100, 1000, NULL, NULL, 1, 0);
SQL
} | sqlite3 "$file" || fail "sqlite3 could not make the business file"

uri="postgresql://$PGUSER@$PGHOST:$PGPORT/shop"
createdb shop || fail "createdb"
"$kotrina" server init "$uri" || fail "server init"
"$kotrina" copy "$file" "$uri" >"$work/copy.out" || fail "copy: $(cat "$work/copy.out")"
# A second copy onto the same database is refused, and changes nothing.
if "$kotrina" copy "$file" "$uri" 2>"$work/again.err"; then fail "a second copy was not refused"; fi
grep -q "すでにデータがあります" "$work/again.err" || fail "refusal: $(cat "$work/again.err")"

# The check of the copied date finds the same lines on both ends, each once (before the
# imports bring products whose new IDs may be the ones the lines name without a product).
set +e
"$kotrina" check "$file" --date 2026-03-31 >"$work/check-file.out"
fileStatus=$?
"$kotrina" check "$uri" --date 2026-03-31 >"$work/check-server.out"
serverStatus=$?
set -e
[ $fileStatus = 1 ] && [ $serverStatus = 1 ] || fail "check status file $fileStatus, server $serverStatus"
cmp -s "$work/check-file.out" "$work/check-server.out" || fail "the checks differ: $(diff "$work/check-file.out" "$work/check-server.out")"
[ "$(grep -c '^4	' "$work/check-server.out")" = 1 ] && [ "$(grep -c '^5	' "$work/check-server.out")" = 1 ] ||
    fail "check: $(cat "$work/check-server.out")"

# Four stations import four dates at the same time; each file's lines have names of their own.
dates=(2026-03-01 2026-03-02 2026-03-03 2026-03-04)
lines=400
pids=()
for day in "${dates[@]}"; do
    {
        printf '項目/分類名\t品名\t数量\t単位\t単価\t価格\t備考\n'
        for i in $(seq 1 $lines); do
            price=$((i % 50 + 10))
            printf '%s\t%s\t%d\t%s\t%d\t%d\t%s\n' "$([ $((i % 3)) = 0 ] && echo 飲料 || echo 食品)" "品目${day}-$i" \
                "$i" "個" "$price" $((i * price)) "棚$((i % 9))"
        done
    } >"$work/import-$day.txt"
    "$kotrina" import lines "$uri" --date "$day" --file "$work/import-$day.txt" >"$work/import-$day.out" 2>&1 &
    pids+=($!)
done
for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || fail "import ${dates[$i]}: $(cat "$work/import-${dates[$i]}.out")"
done

# Every imported line once: the lines of each date, their distinct names and the file's names.
for day in "${dates[@]}"; do
    counted=$(psql -At -d shop -c "SELECT COUNT(*) || ' ' || COUNT(DISTINCT \"品名\") FROM \"棚卸マスター\" WHERE \"日付\" = '$day'")
    [ "$counted" = "$lines $lines" ] || fail "$day holds $counted lines/names, not $lines"
    "$kotrina" check "$uri" --date "$day" >"$work/check-$day.out" || fail "check $day: $(cat "$work/check-$day.out")"
    echo "$day: $lines lines, each once"
done
ids=$(psql -At -d shop -c 'SELECT COUNT(*) - COUNT(DISTINCT "ID") FROM "棚卸マスター"')
[ "$ids" = 0 ] || fail "$ids IDs twice"
total=$(psql -At -d shop -c 'SELECT COUNT(*) FROM "棚卸マスター"')
[ "$total" = $((6 + 4 * lines)) ] || fail "the server holds $total lines"

# The same sheet from either end.
"$kotrina" print sheet "$file" --date 2025-03-31 --pdf "$work/file.pdf" >/dev/null || fail "print from the file"
"$kotrina" print sheet "$uri" --date 2025-03-31 --pdf "$work/server.pdf" >/dev/null || fail "print from the server"
pdftotext "$work/file.pdf" "$work/file.txt"
pdftotext "$work/server.pdf" "$work/server.txt"
grep -q "緑茶" "$work/file.txt" || fail "the sheet lacks its lines"
[ "$(tr -s ' \n\f' '\n' <"$work/file.txt")" = "$(tr -s ' \n\f' '\n' <"$work/server.txt")" ] ||
    fail "the sheets differ: $(diff "$work/file.txt" "$work/server.txt")"
echo "bar passed: copy, four imports at once ($((4 * lines)) lines), check and print agree"
