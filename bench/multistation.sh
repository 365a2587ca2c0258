#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
# Several counting stations on one server, run by hand (not by ctest), on a throwaway PostgreSQL
# cluster (pg_virtualenv -t):
#   1. registrations per second: one station on a SQLite file, then N = 1, 2, 4, 8 stations at once
#      on the server, each registering LINES lines into one date through registerLine (as the entry
#      screen does); every acknowledged line there once, the totals agree;
#   2. the same with kill -9: N = 2, 4, 8 stations, some killed at random moments (and the killed
#      ones started again for the rest of their lines under a new station number); afterwards
#      every acknowledged line is there exactly once, no line twice, and the date's totals (as the
#      status line counts them) equal the lines' sum.
# Usage: bench/multistation.sh [BUILD_DIR] [LINES]
set -u
build=$(cd "${1:-build}" && pwd)
lines=${2:-5000}
if [ -z "${KOTRINA_BENCH_CLUSTER:-}" ]; then
    KOTRINA_BENCH_CLUSTER=1 exec pg_virtualenv -t "$0" "$build" "$lines"
fi
driver=$build/bench/multistation_driver
template=$build/Kotrina.idb
work=$(mktemp -d /tmp/kotrina-multistation.XXXXXX)
trap 'rm -rf "$work"' EXIT
export KOTRINA_HOME=$work/home XDG_CONFIG_HOME=$work/config
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

# A new empty business database on the server.
serverDatabase() {
    createdb "$1" && "$build/kotrina" server init "postgresql://$PGUSER@$PGHOST:$PGPORT/$1" >/dev/null &&
        echo "postgresql://$PGUSER@$PGHOST:$PGPORT/$1"
}

# Runs n stations at once on db; prints the registrations per second of all of them together.
run() {
    local db=$1 n=$2 acks=$3
    local start end
    start=$(date +%s.%N)
    local pids=()
    for s in $(seq 1 "$n"); do
        "$driver" station "$db" "$s" "$lines" >"$acks.$s" 2>"$acks.$s.err" &
        pids+=($!)
    done
    for p in "${pids[@]}"; do wait "$p" || fault "a station failed: $(cat "$acks".*.err | head -3)"; done
    end=$(date +%s.%N)
    cat "$acks".[0-9]* >"$acks"
    echo "scale=0; $n * $lines / ($end - $start)" | bc
}

echo "== 1. registrations per second ($lines lines a station)"
cp "$template" "$work/file.idb"
rate=$(run "$work/file.idb" 1 "$work/acks-file")
"$driver" verify "$work/file.idb" "$work/acks-file" >"$work/verify" || fault "file: $(cat "$work/verify")"
echo "SQLite file, 1 station: $rate lines/s ($(cat "$work/verify"))"
for n in 1 2 4 8; do
    db=$(serverDatabase "rate$n") || { fault "no server database"; break; }
    rate=$(run "$db" "$n" "$work/acks-rate$n")
    "$driver" verify "$db" "$work/acks-rate$n" >"$work/verify" || fault "N=$n: $(cat "$work/verify")"
    echo "server, $n stations: $rate lines/s together ($(cat "$work/verify"))"
done

echo "== 2. kill -9 among the stations"
for n in 2 4 8; do
    db=$(serverDatabase "kill$n") || { fault "no server database"; break; }
    acks=$work/acks-kill$n
    pids=()
    for s in $(seq 1 "$n"); do
        "$driver" station "$db" "$s" "$lines" >"$acks.$s" 2>/dev/null &
        pids+=($!)
    done
    kills=0
    # Half the stations (at least one) are killed at a random moment within the first seconds,
    # and a station with a new number takes over the rest of their count.
    for s in $(seq 1 $(((n + 1) / 2))); do
        sleep "$(printf '%d.%03d' $((RANDOM % 3)) $((RANDOM % 1000)))"
        if kill -9 "${pids[$((s - 1))]}" 2>/dev/null; then
            kills=$((kills + 1))
            "$driver" station "$db" $((100 + s)) $((lines / 2)) >"$acks.$((100 + s))" 2>/dev/null &
            pids+=($!)
        fi
    done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    cat "$acks".[0-9]* >"$acks"
    "$driver" verify "$db" "$acks" >"$work/verify" || fault "N=$n with kills: $(cat "$work/verify")"
    echo "server, $n stations, $kills killed: $(cat "$work/verify")"
done
echo "faults: $faults"
[ "$faults" = 0 ]
