// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <optional>

// The rows of one long query read while other statements run on the same connection
// between them: printing draws its pages, and the window repaints, while the lines come in.
// On a file the query itself is stepped row by row. Qt's PostgreSQL driver drops a result
// still being read as soon as another statement runs on the connection, so on a server the
// rows come from a cursor there, a batch at a time (each batch held whole, so nothing the
// other statements do touches it). Either way only a batch of rows is in memory at once.
class RowStream
{
public:
    RowStream(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});
    ~RowStream();
    RowStream(const RowStream&) = delete;
    RowStream& operator=(const RowStream&) = delete;

    bool exec();
    // The next row; false after the last one or on failure (lastError() tells which).
    bool next();
    // The current row, as a query positioned on it.
    const QSqlQuery& row() const { return m_rows; }
    QVariant value(int index) const { return m_rows.value(index); }
    QSqlError lastError() const;

private:
    bool fetch();

    QSqlDatabase m_db;
    QString m_sql;
    QVariantList m_values;
    QSqlQuery m_rows;
    QString m_cursor; // on a server: the cursor's name once it is open
    bool m_atEnd = false;
    QSqlError m_error;
};
