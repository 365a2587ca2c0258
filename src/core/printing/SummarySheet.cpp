// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/SummarySheet.h"

#include "core/lines/LineRegistration.h"
#include "core/printing/SheetText.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace SummarySheet {

namespace {

// How many names of groups without 価格 the message lists before it counts the rest.
constexpr qsizetype namesTold = 5;

} // namespace

QString title(By by)
{
    return by == By::Category ? QStringLiteral("棚卸表 (項目/分類別集計)") : QStringLiteral("棚卸表 (品名別集計)");
}

QString heading(By by)
{
    return by == By::Category ? QStringLiteral("項目/分類名") : QStringLiteral("品名");
}

std::optional<By> byHeading(const QString& text)
{
    for (const By by : { By::Category, By::Product }) {
        if (text == heading(by))
            return by;
    }
    return std::nullopt;
}

SheetLayout layout(const QString& title, const QString& heading)
{
    using Field = SheetColumn::Field;
    using Format = SheetColumn::Format;
    SheetLayout l;
    l.title = title;
    l.titleX = 77;
    l.titleRuleEnd = 147;
    l.headings = { { 22, heading }, { 107, QStringLiteral("価格") }, { 134, QStringLiteral("集計数") } };
    l.columnRules = { 97, 132, 147 };
    l.columnRuleStyle = PageSurface::Line::Solid;
    l.dateLabel = QStringLiteral("日付　　　　　　　　　日現在");
    l.categoryHeadings = false;
    l.columns = { { Field::Name, Format::Text, 15, {}, 97 },
                  { Field::Price, Format::Amount, 120, QStringLiteral("合計") },
                  { Field::Count, Format::Amount, 135, QStringLiteral("集計数") } };
    l.sumBase = 120;
    return l;
}

std::optional<SheetDocument> load(const Database& db, By by, QDate date, QString* problem)
{
    auto refuse = [problem](const QString& message) {
        if (problem)
            *problem = message;
        return std::nullopt;
    };
    SheetDocument doc;
    doc.date = date;
    // The groups are few beside the lines they sum, and each is known only when the statement
    // has summed them all: they are held, and drawn from memory.
    QList<SheetRow> rows;
    QStringList withoutPrice;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(TotalsModel::statement(db.engine(), by));
    q.addBindValue(storedDate(date));
    if (!q.exec())
        return refuse(QStringLiteral("データベースの接続に失敗しました。"));
    while (q.next()) {
        if (q.value(2).isNull())
            withoutPrice << q.value(1).toString();
        rows.push_back({ {}, q.value(1).toString(), 0, {}, 0, q.value(2).toDouble(), {}, q.value(3).toLongLong(), {} });
    }
    if (q.lastError().isValid())
        return refuse(QStringLiteral("データベースの接続に失敗しました。"));
    if (rows.isEmpty())
        return refuse(QStringLiteral("該当する棚卸はありません。決算日を確認してください。"));
    if (!withoutPrice.isEmpty()) {
        QString names = withoutPrice.mid(0, namesTold).join(QStringLiteral("、"));
        if (withoutPrice.size() > namesTold)
            names += QStringLiteral(" ほか %1 件").arg(withoutPrice.size() - namesTold);
        return refuse(QStringLiteral("価格が入力されていない集計項目があるため、集計表を印刷できません。\r")
                      + heading(by) + QStringLiteral("：") + names
                      + QStringLiteral("\r棚卸表訂正で価格を入力してから印刷してください。"));
    }
    doc.sections.push_back({ 0, {}, rows.size() });
    doc.rows = rowsInMemory(std::move(rows));
    return doc;
}

QString documentTitle(const QString& title, QDate date)
{
    return title + QLatin1Char(' ') + SheetText::dateText(date);
}

std::optional<SheetPrinted> writePdf(const SheetDocument& document, const QString& title, const QString& heading,
                                     const QString& fontFamily, const QString& path, QString* error,
                                     const PageSetup& setup)
{
    const SheetLayout sheet = layout(title, heading);
    return writeSheetPdf(
        path, documentTitle(title, document.date),
        [&](PageSurface& surface) { return drawSheet(surface, document, sheet, fontFamily); }, error, setup);
}

} // namespace SummarySheet
