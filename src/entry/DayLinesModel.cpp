#include "entry/DayLinesModel.h"

#include "entry/LineRegistration.h"
#include "entry/TextRules.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace {
// Columns shown as amounts and right-aligned: 数量, 単価, 価格.
bool isNumberColumn(int column)
{
    return column == 4 || column == 6 || column == 7;
}
} // namespace

DayLinesModel::DayLinesModel(QObject* parent)
    : QAbstractTableModel(parent)
    , m_columns({ QStringLiteral("ID"), QStringLiteral("日付"), QStringLiteral("項目ID"), QStringLiteral("品名"),
                  QStringLiteral("数量"), QStringLiteral("単位"), QStringLiteral("単価"), QStringLiteral("価格"),
                  QStringLiteral("備考"), QStringLiteral("備考1"), QStringLiteral("品名ID"),
                  QStringLiteral("区分調整") })
{ }

void DayLinesModel::load(QDate date)
{
    beginResetModel();
    m_date = date;
    m_pages.clear();
    m_pageOrder.clear();
    m_count = 0;
    QSqlQuery q(m_db ? m_db->connection() : QSqlDatabase());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "棚卸マスター" WHERE "日付" = ?)"));
    q.addBindValue(storedDate(date));
    if (q.exec() && q.next())
        m_count = q.value(0).toInt();
    endResetModel();
}

const std::vector<QVariantList>* DayLinesModel::page(int number) const
{
    if (const auto it = m_pages.find(number); it != m_pages.end()) {
        std::erase(m_pageOrder, number);
        m_pageOrder.push_back(number);
        return &it->second;
    }
    QSqlQuery q(m_db ? m_db->connection() : QSqlDatabase());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT * FROM "棚卸マスター" WHERE "日付" = ? ORDER BY "ID" LIMIT ? OFFSET ?)"));
    q.addBindValue(storedDate(m_date));
    q.addBindValue(PageSize);
    q.addBindValue(number * PageSize);
    std::vector<QVariantList> rows;
    if (q.exec()) {
        const int columns = q.record().count();
        while (q.next()) {
            QVariantList row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row << q.value(c);
            rows.push_back(std::move(row));
        }
    }
    if (int(m_pageOrder.size()) >= CachedPages) {
        m_pages.erase(m_pageOrder.front());
        m_pageOrder.erase(m_pageOrder.begin());
    }
    m_pageOrder.push_back(number);
    return &(m_pages[number] = std::move(rows));
}

int DayLinesModel::lineId(int row) const
{
    return data(index(row, 0), Qt::EditRole).toInt();
}

int DayLinesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int DayLinesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DayLinesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_count)
        return {};
    if (role == Qt::TextAlignmentRole)
        return isNumberColumn(index.column()) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                              : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const std::vector<QVariantList>* rows = page(index.row() / PageSize);
    const size_t r = size_t(index.row() % PageSize);
    if (r >= rows->size() || index.column() >= (*rows)[r].size())
        return {};
    const QVariant& value = (*rows)[r][index.column()];
    if (role == Qt::DisplayRole && index.column() == 1)
        return QDate::fromString(value.toString(), Qt::ISODate).toString(QStringLiteral("yyyy/MM/dd"));
    if (role == Qt::DisplayRole && index.column() == 7 && !value.isNull())
        return TextRules::formatAmount(value.toDouble());
    return value;
}

QVariant DayLinesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}
