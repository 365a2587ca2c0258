// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "TestEnvironment.h"

#include <QProcess>
#include <QString>
#include <QTest>

// A business file made with the sqlite3 program from the template's table definitions, not
// by this program: categories 1 and 2, products 1 and 2, and lines of 2026-03-31 of which
// line 4 names the deleted category 2 and line 5 the missing product 9; then the statements
// of more, if any. Empty on failure.
QString madeOutside(const TestEnvironment& env, const QByteArray& more = {});

// Another program holding the file with an exclusive lock: the sqlite3 program in a
// transaction begun with BEGIN EXCLUSIVE, so that no other connection may read or write the
// file. It lets go when the object goes or, given seconds, after that many seconds.
class ExclusiveLock
{
public:
    explicit ExclusiveLock(const QString& path, int seconds = 0);
    ~ExclusiveLock();

    // Whether the other program holds the lock by now, and whether it has let go again;
    // each is given ten seconds.
    bool taken() const
    {
        return QTest::qWaitFor([this] { return !readable(); }, 10000);
    }
    bool released() const
    {
        return QTest::qWaitFor([this] { return readable(); }, 10000);
    }

private:
    // Whether a connection of its own may read the file now, without waiting for the lock.
    bool readable() const;

    QProcess m_sqlite;
    QString m_path;
};
