#include "core/lines/LinesModel.h"

#include "core/app/Clock.h"
#include "core/lines/LineRegistration.h"
#include "core/rules/TextRules.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace {

enum Column
{
    Id,
    Date,
    CategoryId,
    Product,
    Quantity,
    Unit,
    UnitPrice,
    Amount,
    Memo,
    Memo1,
    ProductId,
    Mark
};

bool isRightAligned(int column)
{
    return column == Quantity || column == UnitPrice || column == Amount;
}

bool isNumber(int column)
{
    return column == CategoryId || column == Quantity || column == UnitPrice || column == Amount || column == ProductId
        || column == Mark;
}

bool isWholeNumber(int column)
{
    return column == CategoryId || column == ProductId || column == Mark;
}

QSqlDatabase connectionOf(const Database* db)
{
    return db ? db->connection() : QSqlDatabase();
}

std::vector<QVariantList> readRows(QSqlQuery& q)
{
    std::vector<QVariantList> rows;
    if (!q.exec())
        return rows;
    const int columns = q.record().count();
    while (q.next()) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row << q.value(c);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace

LinesModel::LinesModel(QObject* parent)
    : QAbstractTableModel(parent)
    , m_columns({ QStringLiteral("ID"), QStringLiteral("日付"), QStringLiteral("項目ID"), QStringLiteral("品名"),
                  QStringLiteral("数量"), QStringLiteral("単位"), QStringLiteral("単価"), QStringLiteral("価格"),
                  QStringLiteral("備考"), QStringLiteral("備考1"), QStringLiteral("品名ID"),
                  QStringLiteral("区分調整") })
{ }

void LinesModel::select(const QString& condition, const QVariantList& values)
{
    m_condition = condition;
    m_values = values;
    reselect();
}

void LinesModel::selectDate(QDate date)
{
    select(QStringLiteral(R"("日付" = ?)"), { storedDate(date) });
}

void LinesModel::reselect()
{
    beginResetModel();
    dropPages();
    m_count = 0;
    QSqlQuery q(connectionOf(m_db));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "棚卸マスター")")
              + (m_condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + m_condition));
    for (const QVariant& v : m_values)
        q.addBindValue(v);
    if (q.exec() && q.next())
        m_count = q.value(0).toInt();
    endResetModel();
}

void LinesModel::dropPages()
{
    m_pages.clear();
    m_pageOrder.clear();
}

const std::vector<QVariantList>* LinesModel::page(int number) const
{
    if (const auto it = m_pages.find(number); it != m_pages.end()) {
        std::erase(m_pageOrder, number);
        m_pageOrder.push_back(number);
        return &it->second;
    }
    // Next to a page already read, the page is found by ID from that page's edge, which
    // costs the same anywhere in the list; a jump far away has to count rows from the start.
    QString where = m_condition;
    QVariantList values = m_values;
    QString order = QStringLiteral(R"( ORDER BY "ID")");
    bool backwards = false;
    int offset = number * PageSize;
    const auto before = m_pages.find(number - 1);
    const auto after = m_pages.find(number + 1);
    auto andWhere = [&where](const QString& term) {
        where = where.isEmpty() ? term : QLatin1Char('(') + where + QStringLiteral(") AND ") + term;
    };
    if (before != m_pages.end() && int(before->second.size()) == PageSize) {
        andWhere(QStringLiteral(R"("ID" > ?)"));
        values << before->second.back().value(0);
        offset = 0;
    } else if (after != m_pages.end() && !after->second.empty()) {
        andWhere(QStringLiteral(R"("ID" < ?)"));
        values << after->second.front().value(0);
        order = QStringLiteral(R"( ORDER BY "ID" DESC)");
        backwards = true;
        offset = 0;
    }
    QSqlQuery q(connectionOf(m_db));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT * FROM "棚卸マスター")")
              + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where) + order
              + QStringLiteral(" LIMIT ? OFFSET ?"));
    for (const QVariant& v : values)
        q.addBindValue(v);
    q.addBindValue(PageSize);
    q.addBindValue(offset);
    std::vector<QVariantList> rows = readRows(q);
    if (backwards)
        std::reverse(rows.begin(), rows.end());
    keepPage(number, std::move(rows));
    return &m_pages[number];
}

void LinesModel::keepPage(int number, std::vector<QVariantList> rows) const
{
    if (int(m_pageOrder.size()) >= CachedPages) {
        m_pages.erase(m_pageOrder.front());
        m_pageOrder.erase(m_pageOrder.begin());
    }
    m_pageOrder.push_back(number);
    m_pages[number] = std::move(rows);
}

void LinesModel::appendLine(int lineId)
{
    // The row goes into the last page when that page is at hand, or starts the next one;
    // a last page not read yet is read with the row when it is first shown.
    const int row = m_count;
    const int number = row / PageSize;
    auto cached = m_pages.find(number);
    if (cached != m_pages.end() && int(cached->second.size()) != row % PageSize) {
        m_pages.erase(cached);
        std::erase(m_pageOrder, number);
        cached = m_pages.end();
    } else if (cached != m_pages.end() || row % PageSize == 0) {
        QSqlQuery q(connectionOf(m_db));
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(R"(SELECT * FROM "棚卸マスター" WHERE "ID" = ?)"));
        q.addBindValue(lineId);
        std::vector<QVariantList> rows = readRows(q);
        if (rows.size() != 1) {
            // The line cannot be read back: the selection is read again instead.
            reselect();
            return;
        }
        if (cached != m_pages.end())
            cached->second.push_back(std::move(rows.front()));
        else
            keepPage(number, std::move(rows));
    }
    beginInsertRows({}, row, row);
    ++m_count;
    endInsertRows();
}

int LinesModel::lineId(int row) const
{
    return data(index(row, Id), Qt::EditRole).toInt();
}

int LinesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int LinesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant LinesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_count)
        return {};
    if (role == Qt::TextAlignmentRole)
        return isRightAligned(index.column()) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                              : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const std::vector<QVariantList>* rows = page(index.row() / PageSize);
    const size_t r = size_t(index.row() % PageSize);
    if (r >= rows->size() || index.column() >= (*rows)[r].size())
        return {};
    const QVariant& value = (*rows)[r][index.column()];
    if (index.column() == Date)
        return DateText::toText(QDate::fromString(value.toString(), Qt::ISODate));
    if (role == Qt::DisplayRole && index.column() == Amount && !value.isNull() && !m_editable)
        return TextRules::formatAmount(value.toDouble());
    // Numbers as text: the grid shows every digit and edits them in a plain box, where a
    // Japanese input method's digits can be typed and a fraction is never rounded away.
    if (isNumber(index.column()))
        return TextRules::numberText(value);
    return value;
}

QVariant LinesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags LinesModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid() && index.column() != Id)
        f |= Qt::ItemIsEditable;
    return f;
}

bool LinesModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!m_editable || role != Qt::EditRole || !index.isValid() || index.column() == Id || !m_db)
        return false;
    const int column = index.column();
    const QString text = value.toString();
    QVariant stored = text;
    if (column == Date) {
        const QDate date = DateText::fromText(text);
        if (!date.isValid()) {
            Q_EMIT editRefused(QStringLiteral("日付は yyyy/MM/dd の形で入力してください。"));
            return false;
        }
        stored = storedDate(date);
    } else if (isNumber(column)) {
        const std::optional<double> number = TextRules::parseNumber(text);
        if (text.trimmed().isEmpty()) {
            stored = QVariant();
        } else if (!number || (isWholeNumber(column) && *number != double(qint64(*number)))) {
            Q_EMIT editRefused(m_columns[column]
                               + (isWholeNumber(column) ? QStringLiteral("は整数で入力してください。")
                                                        : QStringLiteral("は数字で入力してください。")));
            return false;
        } else {
            stored = isWholeNumber(column) ? QVariant(qint64(*number)) : QVariant(*number);
        }
    }
    if (column == Mark && stored.isNull())
        stored = 0;
    QString error;
    if (!m_db->exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "%1" = ? WHERE "ID" = ?)").arg(m_columns[column]),
                    { stored, lineId(index.row()) }, &error)) {
        Q_EMIT editRefused(QStringLiteral("データベースに書き込めませんでした。変更は保存されていません。"));
        return false;
    }
    // The page holding the row is read again; the selection itself stays as it is.
    m_pages.erase(index.row() / PageSize);
    std::erase(m_pageOrder, index.row() / PageSize);
    Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return true;
}
