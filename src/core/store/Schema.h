// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Engine.h"
#include "core/store/Progress.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The four tables of a business file and the marks that tell a file is ours.
namespace Schema {

// "KTRN" in the SQLite header: a file without it is not a Kotrina database.
inline constexpr int ApplicationId = 0x4B54524E;
// Raised whenever the tables change, so an older file can be brought up to date.
// 1: the four tables; 2: the name indexes of 棚卸マスター and 仕入商品; 3: those of
// 棚卸マスター hold its distinct names rather than every line; 4: 商品コード, the JAN
// and in-store codes of the products; 5: 変更履歴, 棚卸確定 and their triggers, the change
// history of the lines and the finalised dates (core/store/HistoryTrail.h).
inline constexpr int UserVersion = 5;
// The first version with each table that came after the four.
inline constexpr int CodesVersion = 4;
inline constexpr int HistoryVersion = 5;

inline constexpr auto ReservedCategoryName = "未区分";

// The indexes of 棚卸マスター besides its name indexes: the statements that make them (part
// of create()), and those that take them away while very many lines go in at once, when
// making them afresh afterwards costs less than keeping them up to date line by line.
QStringList lineIndexStatements();
QStringList dropLineIndexStatements();

// On a server (PostgreSQL) the marks a file keeps in its header (PRAGMA application_id and
// user_version) are the one row of this table: "番号" = 1, "アプリケーションID", "版".
// It is the engine's, not the business's: a copy between engines leaves it out.
inline constexpr auto MarkTable = "スキーマ情報";

// The sequences the IDs of a table and the history's rows are numbered from on a server
// (named after the table and its key column).
QString sequenceName(const QString& table, const QString& column);

// Creates the tables, their indexes and the reserved category 0 in an empty database, of
// either engine (the engine of db's driver).
bool create(QSqlDatabase& db, QString* error = nullptr);

// Notes that the database is now of version (PRAGMA user_version, or the mark table's
// "版"), inside the caller's transaction where there is one.
bool setVersion(QSqlDatabase& db, int version, QString* error = nullptr);

enum class Upgrade
{
    NotNeeded, // the file is of this version already
    Done,
    Cancelled, // stopped through the progress
    Failed,
};

// Brings a file of an older schema version up to this one, in one transaction (a database on
// a server is made at today's version; there is nothing older to bring up): version 1
// gets the name indexes, built from the rows it holds, version 2 the new ones of the lines.
// On a large file that takes a while; progress is told how far it has come and may stop
// it. Stopped or failed, the file is as it was.
Upgrade upgrade(QSqlDatabase& db, QString* error = nullptr, const ProgressStep& progress = {});

// The schema version the file says it is of; 0 when it cannot be read.
int version(QSqlDatabase& db);

// Whether the file has the name indexes (an older file opened read-only has not).
bool hasNameIndexes(QSqlDatabase& db);

// True when db holds a Kotrina database this program can work on: our application id,
// a schema version it knows, and the four tables with their columns in order (and the
// tables its version added after them).
bool verify(QSqlDatabase& db, QString* error = nullptr);

} // namespace Schema
