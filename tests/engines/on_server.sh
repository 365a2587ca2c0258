#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
# Runs a test executable against a PostgreSQL server of its own: pg_virtualenv makes a
# throwaway cluster (it works as root), sets PGHOST/PGPORT/PGUSER/PGPASSWORD for the run and
# drops the cluster afterwards. Without pg_virtualenv the run is skipped (status 77), except
# in CI, where the server tests must run.
if ! command -v pg_virtualenv >/dev/null 2>&1; then
    if [ -n "${CI:-}" ]; then
        echo "pg_virtualenv is missing (package postgresql-common)" >&2
        exit 1
    fi
    echo "pg_virtualenv is missing: the tests on a server are skipped" >&2
    exit 77
fi
export KOTRINA_TEST_ENGINE=postgresql
# -t: a cluster in a folder of its own even as root, so several runs at once do not meet.
exec pg_virtualenv -t -o "max_connections=200" "$@"
