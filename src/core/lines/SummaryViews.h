// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/lines/LineChecks.h"
#include "core/store/Database.h"
#include "core/store/Engine.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// The views of the summary list of a settlement date, by the names the user chooses them by.
namespace SummaryViews {

enum class View
{
    CategoryTotals, // "項目/分類別集計表"
    CategoryCheck, // "項目/分類情報に登録されていない棚卸"
    ProductTotals, // "品名別集計表"
    ProductCheck, // "品名情報に登録されていない棚卸"
    WithoutUnitPrice, // "単価未入力の棚卸"
    AllLines, // "棚卸をすべて表示"
};

// The names in the order the list offers them.
const QStringList& names();
QString name(View view);
// The view a name stands for; a name of no view stands for all lines.
View fromName(const QString& name);

bool canPrint(View view);
bool canExport(View view);

} // namespace SummaryViews

// Lines of 棚卸マスター with the name of their category, as the summary list and its
// export show them. A line whose category is not registered is not among them.
namespace CategorisedLines {

// A parenthesised SELECT naming the columns ID, 日付, 項目ID, 項目分類名, 品名, 数量, 単位,
// 単価, 価格, 備考, 備考1, 品名ID, 区分調整; conditions and orders use these names.
const QString& source();
// The lines of the date, or of them those without a unit price; listed by ID.
LineSelection ofDate(QDate date, bool withoutUnitPrice = false);

} // namespace CategorisedLines

// Value and number of the lines of a settlement date per category name or per product
// name, in one grouped statement: categories by total value, largest first (equal totals
// in the order the database gives), products by name. Lines whose master row is missing
// are not counted.
class TotalsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class By
    {
        Category,
        Product
    };
    // The columns: 日付, the name, 合計, 集計数.
    enum Column
    {
        Date,
        Name,
        Total,
        Count
    };

    explicit TotalsModel(QObject* parent = nullptr);

    // The grouped statement, with one ? for the stored date.
    static QString statement(Engine engine, By by);

    // False when the lines could not be read: the list is empty then, which is not "no lines".
    bool select(const Database& db, By by, QDate date);
    void clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        QString date;
        QString name;
        double total = 0;
        qint64 count = 0;
    };
    QList<Row> m_rows;
    By m_by = By::Category;
};
