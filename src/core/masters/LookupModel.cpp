// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/masters/LookupModel.h"

#include "core/rules/TextRules.h"
#include "core/store/NameIndex.h"
#include "core/store/NameOrder.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

// Up to this many candidate products are read from the name index and sorted by name;
// a text in more products than that (one in a hundred) is met early enough by reading the
// names in order.
constexpr int ProductCandidateLimit = 1000;

// One page of the names containing the text; %1 is the condition on the name, then the
// products' source (%2) and the order of products and units (%3, %2).
QString pageQuery(LookupModel::Kind kind)
{
    switch (kind) {
    case LookupModel::Kind::Category:
        return QStringLiteral(R"(SELECT "項目ID", "項目分類名" FROM "項目分類"
            WHERE "項目ID" >= 1 AND %1 ORDER BY "項目ID" LIMIT ? OFFSET ?)");
    case LookupModel::Kind::AnyCategory:
        return QStringLiteral(
            R"(SELECT "項目ID", "項目分類名" FROM "項目分類" WHERE %1 ORDER BY "項目ID" LIMIT ? OFFSET ?)");
    case LookupModel::Kind::Product:
        return QStringLiteral(R"(SELECT "品名ID", "品名" FROM %2 WHERE %1 ORDER BY %3 LIMIT ? OFFSET ?)");
    case LookupModel::Kind::Unit:
        return QStringLiteral(R"(SELECT "単位ID", "単位" FROM "単位" WHERE %1 ORDER BY %2 LIMIT ? OFFSET ?)");
    }
    return {};
}

QString nameColumn(LookupModel::Kind kind)
{
    switch (kind) {
    case LookupModel::Kind::Category:
    case LookupModel::Kind::AnyCategory:
        return QStringLiteral("項目分類名");
    case LookupModel::Kind::Product:
        return QStringLiteral("品名");
    case LookupModel::Kind::Unit:
        return QStringLiteral("単位");
    }
    return {};
}

} // namespace

LookupModel::LookupModel(Kind kind, QObject* parent)
    : QAbstractListModel(parent)
    , m_kind(kind)
{ }

std::vector<LookupModel::Row> LookupModel::fetchPage(int offset)
{
    std::vector<Row> rows;
    // The list follows the typing: it gives up on a file another program holds rather than
    // keep the window waiting.
    const NoLockWait noWait(m_db);
    QSqlQuery q(m_db ? m_db->connection() : QSqlDatabase());
    q.setForwardOnly(true);
    const Engine engine = m_db ? m_db->engine() : Engine::Sqlite;
    const NameIndex::ContainsFilter filter = NameIndex::containsFilter(engine, nameColumn(m_kind), m_text);
    const QString order = NameOrder::byCharacters(engine, QLatin1Char('"') + nameColumn(m_kind) + QLatin1Char('"'));
    std::optional<NameIndex::Candidates> candidates;
    std::optional<NameIndex::ContainsFilter> indexed;
    if (m_kind == Kind::Product && m_db) {
        // A text in few products is looked up in the name index; one in many is met early
        // enough by reading the names in order.
        indexed = NameIndex::indexedFilter(*m_db, Table::Shohin, nameColumn(m_kind), m_text, ProductCandidateLimit);
        if (!indexed)
            candidates = NameIndex::candidates(*m_db, Table::Shohin, m_text, ProductCandidateLimit);
    }
    QString sql = pageQuery(m_kind).arg(indexed ? filter.sql + QStringLiteral(" AND ") + indexed->sql : filter.sql);
    if (m_kind == Kind::Product) {
        sql = sql.arg(
            candidates
                ? QStringLiteral(R"((%1) AS c CROSS JOIN "仕入商品" AS t ON t."品名ID" = c.r)").arg(candidates->sql)
                : QStringLiteral(R"("仕入商品")"),
            order);
    } else if (m_kind == Kind::Unit) {
        sql = sql.arg(order);
    }
    m_failure.clear();
    if (!q.prepare(sql)) {
        m_failure = q.lastError().text();
        return rows;
    }
    if (candidates)
        q.addBindValue(candidates->value);
    q.addBindValue(filter.value);
    if (indexed)
        q.addBindValue(indexed->value);
    q.addBindValue(PageSize + 1); // one more tells whether another page follows
    q.addBindValue(offset);
    if (!q.exec()) {
        m_failure = q.lastError().text();
        return rows;
    }
    rows.reserve(PageSize + 1);
    while (q.next())
        rows.push_back({ q.value(0).toInt(), q.value(1).toString() });
    if (q.lastError().isValid()) {
        m_failure = q.lastError().text();
        rows.clear();
    }
    return rows;
}

void LookupModel::refresh(const QString& text)
{
    beginResetModel();
    m_text = text;
    m_rows = fetchPage(0);
    m_complete = m_rows.size() <= PageSize;
    if (!m_complete)
        m_rows.pop_back();
    endResetModel();
}

QVariant LookupModel::firstId() const
{
    return m_rows.empty() ? QVariant() : QVariant(m_rows.front().id);
}

int LookupModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant LookupModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const Row& row = m_rows[size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return row.name;
    if (role == IdRole)
        return row.id;
    return {};
}

bool LookupModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_complete;
}

void LookupModel::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || m_complete)
        return;
    std::vector<Row> page = fetchPage(int(m_rows.size()));
    m_complete = page.size() <= PageSize;
    if (!m_complete)
        page.pop_back();
    if (page.empty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size()) - 1);
    m_rows.insert(m_rows.end(), page.begin(), page.end());
    endInsertRows();
}
