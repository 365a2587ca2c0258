// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/RecordList.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace {

QString quoted(const QString& name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// The source as it follows FROM: a subquery gets the name every engine wants it to have.
QString fromSource(const QString& source)
{
    return source.startsWith(QLatin1Char('(')) ? source + QStringLiteral(R"( AS "一覧")") : source;
}

} // namespace

RecordList::RecordList(Table table, QStringList columns)
    : RecordList(quoted(tableName(table)), std::move(columns))
{ }

RecordList::RecordList(QString source, QStringList columns)
    : m_source(std::move(source))
    , m_columns(std::move(columns))
{ }

QString RecordList::quotedColumns() const
{
    QStringList quotedNames;
    for (const QString& c : m_columns)
        quotedNames << quoted(c);
    return quotedNames.join(QStringLiteral(", "));
}

bool RecordList::choose(const QString& condition, const QVariantList& values, const QString& order, QString* error)
{
    clear();
    const QString id = quoted(m_columns.value(0));
    // The records a window lists: a file another program holds is said at once, not waited for.
    const NoLockWait noWait(m_db);
    QSqlQuery q(m_db ? m_db->connection() : QSqlDatabase());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + id + QStringLiteral(" FROM ") + fromSource(m_source)
              + (condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition) + QStringLiteral(" ORDER BY ")
              + (order.isEmpty() ? id : order));
    for (const QVariant& v : values)
        q.addBindValue(v);
    bool ok = q.exec();
    if (ok) {
        while (q.next())
            m_ids.push_back(q.value(0).toInt());
        ok = !q.lastError().isValid();
    }
    if (!ok) {
        m_ids.clear();
        if (error)
            *error = q.lastError().text();
    }
    return ok;
}

void RecordList::clear()
{
    m_ids.clear();
    m_fields.clear();
}

int RecordList::rowOf(int id) const
{
    // New records sit at the end, so that is where the search starts.
    const auto it = std::find(m_ids.rbegin(), m_ids.rend(), id);
    return it == m_ids.rend() ? -1 : int(m_ids.rend() - it) - 1;
}

void RecordList::removeAt(int row)
{
    if (row < 0 || row >= size())
        return;
    m_fields.remove(m_ids[size_t(row)]);
    m_ids.erase(m_ids.begin() + row);
}

const QVariantList* RecordList::fields(int row) const
{
    const int recordId = id(row);
    if (const QVariantList* cached = m_fields.object(recordId))
        return cached->isEmpty() ? nullptr : cached;
    // The page around the row is read in one statement; records already held are skipped.
    const int first = row / PageSize * PageSize;
    const int last = std::min(first + PageSize, size());
    QVariantList ids;
    for (int r = first; r < last; ++r) {
        if (!m_fields.contains(m_ids[size_t(r)]))
            ids << m_ids[size_t(r)];
    }
    // Read while a grid paints: a page that cannot be read now shows empty and is asked for
    // again at the next paint, without waiting for another program.
    const NoLockWait noWait(m_db);
    QSqlQuery q(m_db ? m_db->connection() : QSqlDatabase());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + quotedColumns() + QStringLiteral(" FROM ") + fromSource(m_source)
              + QStringLiteral(" WHERE ") + quoted(m_columns.value(0)) + QStringLiteral(" IN (")
              + QStringList(ids.size(), QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')'));
    for (const QVariant& v : ids)
        q.addBindValue(v);
    if (q.exec()) {
        while (q.next()) {
            auto* record = new QVariantList;
            for (int c = 0; c < m_columns.size(); ++c)
                *record << q.value(c);
            m_fields.insert(record->value(0).toInt(), record);
        }
        // A record deleted meanwhile is held as gone, so it is not asked for at every paint.
        if (!q.lastError().isValid()) {
            for (const QVariant& v : ids) {
                if (!m_fields.contains(v.toInt()))
                    m_fields.insert(v.toInt(), new QVariantList);
            }
        }
    }
    const QVariantList* record = m_fields.object(recordId);
    return record && !record->isEmpty() ? record : nullptr;
}
