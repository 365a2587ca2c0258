// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/masters/MasterModel.h"

#include "core/masters/ProductCodes.h"
#include "core/rules/CellRoles.h"
#include "core/rules/TextRules.h"
#include "core/store/NameIndex.h"
#include "core/store/NameOrder.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <unordered_set>

namespace {

QString quoted(const QString& name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

bool fail(QString* error, const QSqlQuery& q)
{
    if (error)
        *error = q.lastError().text();
    return false;
}

QSqlDatabase connectionOf(const Database* db)
{
    return db ? db->connection() : QSqlDatabase();
}

} // namespace

const MasterTable& MasterTable::categories()
{
    // 0 is the category of lines without one; it is never listed but keeps its ID taken.
    static const MasterTable t { Table::Koumoku,
                                 { QStringLiteral("項目ID"), QStringLiteral("項目分類名") },
                                 QStringLiteral(R"("項目ID" >= 1)") };
    return t;
}

const MasterTable& MasterTable::units()
{
    static const MasterTable t { Table::Tani, { QStringLiteral("単位ID"), QStringLiteral("単位") }, QString() };
    return t;
}

const MasterTable& MasterTable::products()
{
    static const MasterTable t {
        Table::Shohin,
        { QStringLiteral("品名ID"), QStringLiteral("品名"), QStringLiteral("単価"), QStringLiteral("単位") },
        QString(),
        2,
        // The first code beside the product; files that cannot hold
        // codes (an older file opened read-only) show none.
        { QStringLiteral("JANコード") },
        [](const Database& db) {
            return QStringLiteral(
                       R"((SELECT "品名ID", "品名", "単価", "単位", %1 AS "JANコード"
                                                    FROM "仕入商品"))")
                .arg(ProductCodes::available(db)
                         ? ProductCodes::firstCodeExpression(QStringLiteral(R"("仕入商品"."品名ID")"))
                         : QStringLiteral("NULL"));
        }
    };
    return t;
}

MasterModel::MasterModel(const MasterTable& table, QObject* parent)
    : QAbstractTableModel(parent)
    , m_table(table)
    , m_records(table.table, table.columns + table.shownColumns)
{ }

bool MasterModel::open(MasterOrder order, QString* error)
{
    beginResetModel();
    m_pending.clear();
    if (m_table.source && m_db)
        m_records.setSource(m_table.source(*m_db));
    const QString id = quoted(m_table.idColumn());
    const bool ok = m_records.choose(m_table.condition, {},
                                     order == MasterOrder::ByName ? NameOrder::orderBy(engineOf(connectionOf(m_db)),
                                                                                       quoted(m_table.nameColumn()), id)
                                                                  : id,
                                     error);
    endResetModel();
    return ok;
}

int MasterModel::recordId(int row) const
{
    return m_records.id(row);
}

int MasterModel::rowOfRecord(int id) const
{
    return m_records.rowOf(id);
}

int MasterModel::addRecord(QString* error)
{
    const int id = m_db ? m_db->nextId(m_table.table) : 1;
    QSqlQuery q(connectionOf(m_db));
    q.prepare(QStringLiteral("INSERT INTO ") + quoted(tableName(m_table.table)) + QLatin1Char('(')
              + quoted(m_table.idColumn()) + QStringLiteral(") VALUES (?)"));
    q.addBindValue(id);
    if (!q.exec()) {
        fail(error, q);
        return -1;
    }
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_records.append(id);
    endInsertRows();
    return row;
}

bool MasterModel::removeRecord(int row, QString* error)
{
    if (row < 0 || row >= rowCount())
        return false;
    const int id = recordId(row);
    QSqlQuery q(connectionOf(m_db));
    q.prepare(QStringLiteral("DELETE FROM ") + quoted(tableName(m_table.table)) + QStringLiteral(" WHERE ")
              + quoted(m_table.idColumn()) + QStringLiteral(" = ?"));
    q.addBindValue(id);
    if (!q.exec())
        return fail(error, q);
    // Gone before the views hear of it, so nothing tries to save the deleted record.
    m_pending.erase(id);
    beginRemoveRows({}, row, row);
    m_records.removeAt(row);
    endRemoveRows();
    return true;
}

bool MasterModel::hasPendingChange(int row) const
{
    return m_pending.contains(recordId(row));
}

bool MasterModel::saveRecord(int id, QString* error)
{
    const auto it = m_pending.find(id);
    if (it == m_pending.end())
        return true;
    QStringList assignments;
    QVariantList values;
    for (const auto& [column, value] : it->second) {
        assignments << quoted(m_table.columns[column]) + QStringLiteral(" = ?");
        values << value;
    }
    QSqlQuery q(connectionOf(m_db));
    q.prepare(QStringLiteral("UPDATE ") + quoted(tableName(m_table.table)) + QStringLiteral(" SET ")
              + assignments.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + quoted(m_table.idColumn())
              + QStringLiteral(" = ?"));
    for (const QVariant& v : values)
        q.addBindValue(v);
    q.addBindValue(id);
    if (!q.exec())
        return fail(error, q);
    const bool gone = q.numRowsAffected() == 0;
    m_pending.erase(it);
    // Read back what the table holds now.
    m_records.forget(id);
    if (gone)
        Q_EMIT editRefused(QString::fromUtf8(RecordGoneMessage));
    if (const int row = rowOfRecord(id); row >= 0)
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    return true;
}

void MasterModel::reread(int id)
{
    m_records.forget(id);
    if (const int row = rowOfRecord(id); row >= 0)
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int MasterModel::findName(const QString& text, int row) const
{
    if (text.isEmpty() || rowCount() == 0)
        return -1;
    QSqlQuery q(connectionOf(m_db));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + quoted(m_table.idColumn()) + QStringLiteral(" FROM ")
              + quoted(tableName(m_table.table)) + QStringLiteral(" WHERE ")
              + NameIndex::holdsExactly(engineOf(connectionOf(m_db)), quoted(m_table.nameColumn())));
    q.addBindValue(text);
    std::unordered_set<int> matching;
    if (q.exec()) {
        while (q.next())
            matching.insert(q.value(0).toInt());
    }
    if (matching.empty())
        return -1;
    const int count = rowCount();
    const int start = row < 0 ? 0 : row % count; // past the last row is the first

    for (int i = 0; i < count; ++i) {
        const int r = (start + i) % count;
        if (matching.contains(recordId(r)))
            return r;
    }
    return -1;
}

bool MasterModel::save(int row, QString* error)
{
    return saveRecord(recordId(row), error);
}

bool MasterModel::saveAll(QString* error)
{
    while (!m_pending.empty()) {
        if (!saveRecord(m_pending.begin()->first, error))
            return false;
    }
    return true;
}

int MasterModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_records.size();
}

int MasterModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_table.columns.size() + m_table.shownColumns.size());
}

QVariant MasterModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role == CellRoles::NumbersOnly)
        return index.column() == 0 || index.column() == m_table.numberColumn;
    if (role == Qt::TextAlignmentRole)
        return index.column() == m_table.numberColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                      : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const QVariant value = valueAt(index.row(), index.column());
    // As text, so the grid edits it in a plain box and shows every digit.
    return index.column() == m_table.numberColumn ? QVariant(TextRules::numberText(value)) : value;
}

QVariant MasterModel::valueAt(int row, int column) const
{
    // What the user typed wins over what the table holds.
    if (const auto it = m_pending.find(recordId(row)); it != m_pending.end()) {
        if (const auto pending = it->second.find(column); pending != it->second.end())
            return pending->second;
    }
    const QVariantList* record = m_records.fields(row);
    return record ? record->value(column) : QVariant();
}

QVariant MasterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCount())
        return section < m_table.columns.size() ? m_table.columns[section]
                                                : m_table.shownColumns[section - m_table.columns.size()];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags MasterModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() > 0 && index.column() < m_table.columns.size())
        f |= Qt::ItemIsEditable;
    return f;
}

bool MasterModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() == 0 || index.column() >= m_table.columns.size()
        || index.row() >= rowCount())
        return false;
    QVariant stored = value.toString();
    if (index.column() == m_table.numberColumn) {
        const TextRules::NumberInput number = TextRules::readNumber(m_table.columns[index.column()], value.toString());
        if (!number.refusal.isEmpty()) {
            Q_EMIT editRefused(number.refusal);
            return false;
        }
        stored = number.value ? QVariant(*number.value) : QVariant();
    }
    const QVariant current = valueAt(index.row(), index.column());
    if (current.isNull() == stored.isNull() && current.toString() == stored.toString())
        return true;
    m_pending[recordId(index.row())][index.column()] = stored;
    Q_EMIT dataChanged(index, index);
    return true;
}
