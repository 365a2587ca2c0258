// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "OutsideFile.h"

#include "SampleData.h"

#include <QProcess>
#include <QSqlQuery>

QString madeOutside(const TestEnvironment& env, const QByteArray& more)
{
    QProcess schema;
    schema.start(QStringLiteral("/usr/bin/sqlite3"), { TestEnvironment::buildTemplate(), QStringLiteral(".schema") });
    if (!schema.waitForFinished() || schema.exitCode() != 0)
        return {};
    const QString file = env.path(QStringLiteral("outside.idb"));
    QProcess sqlite;
    sqlite.start(QStringLiteral("/usr/bin/sqlite3"), { file });
    sqlite.waitForStarted();
    sqlite.write("PRAGMA application_id = 1263817294; PRAGMA user_version = 1;\n");
    sqlite.write(schema.readAllStandardOutput());
    sqlite.write(R"(
INSERT INTO 項目分類 VALUES (0, '未区分'), (1, '食品'), (2, '雑貨');
INSERT INTO 仕入商品 VALUES (1, 'りんご', 100, '個'), (2, 'ﾒﾓ帳', 80, '冊');
INSERT INTO 棚卸マスター VALUES
  (3, '2026-03-31', 1, 'りんご', 0.125, '個', 100, 12, NULL, NULL, 1, 0),
  (1, '2026-03-31', 1, 'りんご', 10, '個', 100, 1000, NULL, NULL, 1, 0),
  (4, '2026-03-31', 2, 'ﾒﾓ帳', 2, '冊', 80, 160, NULL, NULL, 2, 0),
  (5, '2026-03-31', 1, '幻の品', 1, '個', 5, 5, NULL, NULL, 9, 0),
  (2, '2025-03-31', 1, 'りんご', 1, '個', 100, 100, NULL, NULL, 1, 0);
DELETE FROM 項目分類 WHERE 項目ID = 2;
)");
    sqlite.write(more);
    sqlite.closeWriteChannel();
    return sqlite.waitForFinished() && sqlite.exitCode() == 0 ? file : QString();
}

ExclusiveLock::ExclusiveLock(const QString& path, int seconds)
    : m_path(path)
{
    m_sqlite.start(QStringLiteral("/usr/bin/sqlite3"), { path });
    m_sqlite.waitForStarted();
    // A read of the program under test may hold the file for a moment: that is waited for.
    m_sqlite.write(".timeout 10000\nBEGIN EXCLUSIVE;\n");
    if (seconds > 0)
        m_sqlite.write(QStringLiteral(".shell sleep %1\nCOMMIT;\n").arg(seconds).toUtf8());
    m_sqlite.waitForBytesWritten();
}

ExclusiveLock::~ExclusiveLock()
{
    // At the end of its input the program ends, and the transaction with it.
    m_sqlite.closeWriteChannel();
    if (!m_sqlite.waitForFinished(5000))
        m_sqlite.kill();
    m_sqlite.waitForFinished();
}

bool ExclusiveLock::readable() const
{
    return onRawConnection(m_path, [](QSqlQuery& q) {
        return q.exec(QStringLiteral("PRAGMA busy_timeout = 0"))
            && q.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) && q.next();
    });
}
