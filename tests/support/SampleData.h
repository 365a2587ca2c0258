// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

class QSqlQuery;
class TestEnvironment;

// The engine the tests of both engines run on: KOTRINA_TEST_ENGINE=postgresql puts them on
// the PostgreSQL server that PGHOST, PGPORT, PGUSER and PGPASSWORD name (pg_virtualenv sets
// them); anything else, or nothing, keeps them on files.
Engine testEngine();

// A new, empty business database for one test: a file made from the template in the
// environment's folder, or on the server a new database made by `kotrina server init`'s own
// code, named after name and numbered; a URI then. Empty when it cannot be made (why in error).
QString freshDatabase(const TestEnvironment& env, const QString& name = QStringLiteral("shop.idb"),
                      QString* error = nullptr);

// The URI of the server's database (maintenance database "postgres" unless named), from the
// PG* variables alone.
QString serverUri(const QString& database = QStringLiteral("postgres"));

// Fills the tables with count lines of a settlement date and matching masters, in one
// statement each; names are Japanese and long enough to make a realistic file.
bool addSampleLines(const Database& db, int count, QDate date = QDate(2026, 3, 31));

// A new database (freshDatabase) holding count sample lines; empty when it cannot be made.
QString sampleDatabase(const TestEnvironment& env, int count, const QString& name = QStringLiteral("shop.idb"));

// One field of a line, by its ID and column name; invalid when there is no such line.
QVariant lineField(const Database& db, int id, const char* column);

// Rows of a table, -1 when it cannot be read.
int rowCount(const Database& db, Table table);

// Overwrites the header of one data page of a closed database file, as a failing disk
// would: the file still opens, but a part of its lines can no longer be read. Returns the
// damaged bytes.
QByteArray damageDataPage(const QString& path);

// Changes the date stored in one line's row of a closed database file (sample lines dated
// 2026-03-31), leaving the index over the dates as it was: a fault only the full integrity
// check finds. Returns the changed bytes.
QByteArray staleDateIndex(const QString& path);

// Runs work on a plain SQLite connection of its own to the file, as another program (or an
// older version) would use it, bypassing everything Database does on opening. False when
// the file does not open or work says so.
bool onRawConnection(const QString& path, const std::function<bool(QSqlQuery&)>& work);

// Whether SQLite's full integrity check of the closed database file finds it sound.
bool integrityOk(const QString& path);

// Makes the closed database file at path (of today's version) what a file of an earlier
// schema version was, with the rows it holds, so that opening it for work upgrades it.
bool makeVersion(const QString& path, int version);

// The schema version a database file says it has; -1 when it cannot be read.
int schemaVersion(const QString& path);

// Another program at work on the file: its statements (a BEGIN among them) run on a
// connection of its own and stay uncommitted until the object goes, when they are rolled back.
class OtherProgramWriting
{
public:
    OtherProgramWriting(const QString& path, const QStringList& statements);
    ~OtherProgramWriting();
    OtherProgramWriting(const OtherProgramWriting&) = delete;
    OtherProgramWriting& operator=(const OtherProgramWriting&) = delete;
    bool started() const { return m_started; }

private:
    bool m_started = false;
};
