// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QStringList>
#include <utility>

// What a business database on a PostgreSQL server has beyond the tables a file has too.
namespace ServerSchema {

// The channel every statement that writes to a table of the business notifies at its
// commit (the payload is the table's name); each connection of the program listens to it,
// and its change stamp counts the notices (Database::changeStamp).
inline constexpr auto ChangeChannel = "kotrina";

// The tables numbered by a sequence of their own, with the column it numbers: the four ID
// tables and the history's.
QList<std::pair<QString, QString>> numberedColumns();

// The tables whose changes are told on the channel.
QStringList notifiedTables();

// The function and the statement-level triggers that notify the channel.
QStringList notifyStatements();

// The engine behind a connection to a server, for the main window's provider label
// ("PostgreSQL 15.18"); "PostgreSQL" when the server does not say.
QString engineName(const QSqlDatabase& db);

// The server's part of the database check (where a file has the engine's integrity check):
// the schema as Schema::verify reads it, a sequence behind the largest ID of its table (the
// next number it hands out would clash with a row), a table whose changes other stations
// would not be told of. Each problem in Japanese; none for a sound database.
QStringList problems(QSqlDatabase& db);

} // namespace ServerSchema
