// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QSqlDatabase>

// The two engines a business database lives in: a file of its own (SQLite) or a database on
// a PostgreSQL server that several stations share.
enum class Engine
{
    Sqlite,
    Postgres
};

// The engine behind an open connection (by its Qt driver).
inline Engine engineOf(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Engine::Postgres : Engine::Sqlite;
}
