// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/RowStream.h"

#include "core/store/Engine.h"

#include <QSqlDriver>
#include <QSqlField>
#include <atomic>

namespace {

// Rows a fetch from the server's cursor brings: a few hundred kilobytes of lines.
constexpr int RowsPerFetch = 2000;

// The statement with its values in the place of its ? marks, each as the driver writes it
// when it sends a prepared statement's values (the only form a cursor's query takes them
// in). A ? inside a quoted text or name is left alone.
QString withValues(const QSqlDatabase& db, const QString& sql, const QVariantList& values, bool* ok)
{
    QString out;
    out.reserve(sql.size());
    qsizetype next = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?')) {
            if (next == values.size()) {
                *ok = false;
                return {};
            }
            const QVariant& value = values.at(next++);
            QSqlField field(QString(), value.metaType());
            field.setValue(value);
            out += db.driver()->formatValue(field);
            continue;
        }
        out += c;
    }
    *ok = next == values.size();
    return out;
}

} // namespace

RowStream::RowStream(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
    : m_db(db)
    , m_sql(sql)
    , m_values(values)
    , m_rows(db)
{ }

RowStream::~RowStream()
{
    if (!m_cursor.isEmpty()) {
        m_rows = QSqlQuery(m_db);
        m_rows.exec(QStringLiteral("CLOSE ") + m_cursor);
    }
}

bool RowStream::exec()
{
    if (engineOf(m_db) == Engine::Sqlite) {
        m_rows.setForwardOnly(true);
        if (!m_rows.prepare(m_sql))
            return false;
        for (qsizetype i = 0; i < m_values.size(); ++i)
            m_rows.bindValue(int(i), m_values.at(i));
        return m_rows.exec();
    }
    static std::atomic<int> cursors { 0 };
    const QString name = QStringLiteral("kotrina_rows_%1").arg(++cursors);
    bool ok = true;
    const QString query = withValues(m_db, m_sql, m_values, &ok);
    if (!ok) {
        m_error = QSqlError(QString(), QStringLiteral("the statement's values do not match its parameters"),
                            QSqlError::StatementError);
        return false;
    }
    // Held past the transaction it is opened in, so it reads on whether or not one is open.
    QSqlQuery declare(m_db);
    if (!declare.exec(QStringLiteral("DECLARE %1 NO SCROLL CURSOR WITH HOLD FOR ").arg(name) + query)) {
        m_error = declare.lastError();
        return false;
    }
    m_cursor = name;
    return fetch();
}

bool RowStream::fetch()
{
    m_rows = QSqlQuery(m_db);
    if (!m_rows.exec(QStringLiteral("FETCH FORWARD %1 FROM %2").arg(RowsPerFetch).arg(m_cursor))) {
        m_error = m_rows.lastError();
        return false;
    }
    m_atEnd = m_rows.size() < RowsPerFetch;
    return true;
}

bool RowStream::next()
{
    if (m_cursor.isEmpty())
        return m_rows.next();
    if (m_rows.next())
        return true;
    return !m_atEnd && !m_error.isValid() && fetch() && m_rows.next();
}

QSqlError RowStream::lastError() const
{
    return m_error.isValid() ? m_error : m_rows.lastError();
}
