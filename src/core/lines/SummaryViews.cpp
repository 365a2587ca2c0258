// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/lines/SummaryViews.h"

#include "core/app/Clock.h"
#include "core/lines/LineRegistration.h"
#include "core/rules/TextRules.h"
#include "core/store/NameOrder.h"

#include <QSqlError>
#include <QSqlQuery>

namespace SummaryViews {

const QStringList& names()
{
    static const QStringList list
        = { QStringLiteral("項目/分類別集計表"), QStringLiteral("項目/分類情報に登録されていない棚卸"),
            QStringLiteral("品名別集計表"),      QStringLiteral("品名情報に登録されていない棚卸"),
            QStringLiteral("単価未入力の棚卸"),  QStringLiteral("棚卸をすべて表示") };
    return list;
}

QString name(View view)
{
    return names().value(int(view));
}

View fromName(const QString& name)
{
    const int index = int(names().indexOf(name));
    return index < 0 ? View::AllLines : View(index);
}

bool canPrint(View view)
{
    return view == View::AllLines || view == View::CategoryTotals || view == View::ProductTotals;
}

bool canExport(View view)
{
    return view == View::AllLines || view == View::WithoutUnitPrice;
}

} // namespace SummaryViews

namespace CategorisedLines {

const QString& source()
{
    static const QString sql = QStringLiteral(
        R"((SELECT t."ID" AS "ID", t."日付" AS "日付", t."項目ID" AS "項目ID", k."項目分類名" AS "項目分類名",
            t."品名" AS "品名", t."数量" AS "数量", t."単位" AS "単位", t."単価" AS "単価", t."価格" AS "価格",
            t."備考" AS "備考", t."備考1" AS "備考1", t."品名ID" AS "品名ID", t."区分調整" AS "区分調整"
        FROM "棚卸マスター" t JOIN "項目分類" k ON k."項目ID" = t."項目ID"))");
    return sql;
}

LineSelection ofDate(QDate date, bool withoutUnitPrice)
{
    return { withoutUnitPrice ? QStringLiteral(R"("日付" = ? AND "単価" = 0)") : QStringLiteral(R"("日付" = ?)"),
             { storedDate(date) } };
}

} // namespace CategorisedLines

TotalsModel::TotalsModel(QObject* parent)
    : QAbstractTableModel(parent)
{ }

QString TotalsModel::statement(Engine engine, By by)
{
    if (by == By::Category)
        return QStringLiteral(R"(SELECT "日付", "項目分類名", SUM("価格") AS "合計", COUNT(*) AS "集計数" FROM )")
            + CategorisedLines::source() + QStringLiteral(R"( AS "行" WHERE )") + CategorisedLines::ofDate({}).condition
            + QStringLiteral(R"( GROUP BY "項目分類名", "日付" ORDER BY SUM("価格") DESC NULLS LAST, )")
            + NameOrder::orderBy(engine, QStringLiteral(R"("項目分類名")"));
    // "+" keeps the engine from walking every product through the 品名ID index (the lines of
    // all dates); the lines of the date are few beside them and each finds its product by key.
    // Grouped by the name's own characters (names the collation holds equal stay apart),
    // listed in Japanese order.
    return QStringLiteral(R"(SELECT t."日付", s."品名", SUM(t."価格") AS "合計", COUNT(*) AS "集計数"
        FROM "棚卸マスター" t JOIN "仕入商品" s ON s."品名ID" = +t."品名ID" WHERE t."日付" = ?
        GROUP BY s."品名", t."日付" ORDER BY )")
        + NameOrder::orderBy(engine, QStringLiteral(R"(s."品名")"));
}

bool TotalsModel::select(const Database& db, By by, QDate date)
{
    beginResetModel();
    m_rows.clear();
    m_by = by;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(statement(db.engine(), by));
    q.addBindValue(storedDate(date));
    bool ok = q.exec();
    if (ok) {
        while (q.next())
            m_rows.push_back(
                { q.value(0).toString(), q.value(1).toString(), q.value(2).toDouble(), q.value(3).toLongLong() });
        ok = !q.lastError().isValid();
    }
    if (!ok)
        m_rows.clear();
    endResetModel();
    return ok;
}

void TotalsModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int TotalsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TotalsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant TotalsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() >= Total ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                       : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const Row& row = m_rows[index.row()];
    switch (index.column()) {
    case Date:
        return DateText::toText(QDate::fromString(row.date, Qt::ISODate));
    case Name:
        return row.name;
    case Total:
        return TextRules::formatAmount(row.total);
    case Count:
        return QString::number(row.count);
    default:
        return {};
    }
}

QVariant TotalsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Date:
        return QStringLiteral("日付");
    case Name:
        return m_by == By::Category ? QStringLiteral("項目分類名") : QStringLiteral("品名");
    case Total:
        return QStringLiteral("合計");
    case Count:
        return QStringLiteral("集計数");
    default:
        return {};
    }
}
