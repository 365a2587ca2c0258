// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/StocktakingSheet.h"

#include "core/lines/LineRegistration.h"
#include "core/masters/ProductCodes.h"
#include "core/printing/PageSurface.h"
#include "core/printing/SheetText.h"
#include "core/store/FileOps.h"
#include "core/store/RowStream.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace StocktakingSheet {

namespace {

QString nameOf(Layout layout)
{
    switch (layout) {
    case Layout::Original:
        return QStringLiteral("A４　オリジナル棚卸表");
    case Layout::Simple:
        return QStringLiteral("A４　簡易棚卸表");
    case Layout::Hisago1151:
        return QStringLiteral("HISAGO 1151");
    }
    return {};
}

// A line of the sheets' statement; its code from the column after 項目ID when withCode.
Line lineFrom(const QSqlQuery& q, bool withCode)
{
    return { QDate::fromString(q.value(0).toString(), Qt::ISODate),
             q.value(1).toString(),
             q.value(2).toDouble(),
             q.value(3).toString(),
             q.value(4).toDouble(),
             q.value(5).toDouble(),
             q.value(6).toString(),
             0,
             withCode ? q.value(8).toString() : QString() };
}

} // namespace

QString layoutName(Layout layout)
{
    return nameOf(layout);
}

std::optional<Layout> layoutFromName(const QString& name)
{
    for (const Layout l : { Layout::Original, Layout::Simple, Layout::Hisago1151 }) {
        if (nameOf(l) == name)
            return l;
    }
    return std::nullopt;
}

std::optional<Document> load(const Database& db, QDate date, std::optional<int> categoryId, bool firstCodes)
{
    Document doc;
    doc.date = date;
    doc.allCategories = !categoryId;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(categoryId ? QStringLiteral(R"(SELECT "項目ID", "項目分類名" FROM "項目分類" WHERE "項目ID" = ?)")
                         : QStringLiteral(
                             R"(SELECT "項目ID", "項目分類名" FROM "項目分類" WHERE "項目ID" >= 1 ORDER BY "項目ID")"));
    if (categoryId)
        q.addBindValue(*categoryId);
    if (!q.exec())
        return std::nullopt;
    QHash<int, qsizetype> sectionOf;
    while (q.next()) {
        sectionOf.insert(q.value(0).toInt(), doc.sections.size());
        doc.sections.push_back({ q.value(0).toInt(), q.value(1).toString(), 0 });
    }
    if (!categoryId) {
        sectionOf.insert(0, doc.sections.size());
        doc.sections.push_back({ 0, QStringLiteral("未区分"), 0 });
    }

    // How many lines each section prints, for the page count before any page is drawn; 未区分
    // gets a section only when it has lines.
    q.prepare(QStringLiteral(R"(SELECT "項目ID", COUNT(*) FROM "棚卸マスター" WHERE "日付" = ?)")
              + (categoryId ? QStringLiteral(R"( AND "項目ID" = ?)") : QString())
              + QStringLiteral(R"( GROUP BY "項目ID")"));
    q.addBindValue(storedDate(date));
    if (categoryId)
        q.addBindValue(*categoryId);
    if (!q.exec())
        return std::nullopt;
    while (q.next()) {
        if (const qsizetype section = sectionOf.value(q.value(0).toInt(), -1); section >= 0)
            doc.sections[section].lineCount = q.value(1).toLongLong();
    }
    if (!categoryId && doc.sections.constLast().lineCount == 0)
        doc.sections.removeLast();

    // The lines of the date in one pass, section after section (未区分 last); a line whose
    // category is neither printed nor 0 is left out, and the completeness check tells of it.
    const QString statement
        = QStringLiteral(R"(SELECT "日付", "品名", "数量", "単位", "単価", "価格", "備考", "項目ID")")
        + (firstCodes
               ? QStringLiteral(", ") + ProductCodes::firstCodeExpression(QStringLiteral(R"("棚卸マスター"."品名ID")"))
               : QString())
        + QStringLiteral(R"( FROM "棚卸マスター" WHERE "日付" = ?)")
        + (categoryId ? QStringLiteral(R"( AND "項目ID" = ? ORDER BY "ID")")
                      : QStringLiteral(R"( ORDER BY "項目ID" = 0, "項目ID", "ID")"));
    doc.rows = [connection = db.connection(), statement, date, categoryId, sectionOf,
                firstCodes](const SheetRowVisitor& visit) {
        QVariantList values { storedDate(date) };
        if (categoryId)
            values << *categoryId;
        RowStream lines(connection, statement, values);
        if (!lines.exec())
            return false;
        while (lines.next()) {
            const qsizetype section = sectionOf.value(lines.value(7).toInt(), -1);
            if (section >= 0 && !visit(section, lineFrom(lines.row(), firstCodes)))
                return true;
        }
        return !lines.lastError().isValid();
    };
    return doc;
}

std::optional<int> categoryByName(const Database& db, const QString& name)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT MIN("項目ID") FROM "項目分類" WHERE "項目分類名" = ? AND "項目ID" >= 1)"));
    q.addBindValue(name);
    if (!q.exec() || !q.next() || q.value(0).isNull())
        return std::nullopt;
    return q.value(0).toInt();
}

std::optional<int> lineCount(const Database& db, QDate date)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "棚卸マスター" WHERE "日付" = ?)"));
    q.addBindValue(storedDate(date));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

std::optional<double> storedTotal(const Database& db, QDate date)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT COALESCE(SUM("価格"), 0) FROM "棚卸マスター" WHERE "日付" = ?)"));
    q.addBindValue(storedDate(date));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toDouble();
}

SheetLayout a4Layout(Layout layout)
{
    using Field = SheetColumn::Field;
    using Format = SheetColumn::Format;
    SheetLayout sheet;
    sheet.title = QStringLiteral("棚　卸　表");
    sheet.headings
        = { { 22, QStringLiteral("品　名") },  { 85, QStringLiteral("数　量") },  { 103, QStringLiteral("単位") },
            { 117, QStringLiteral("単　価") }, { 142, QStringLiteral("価　格") }, { 167, QStringLiteral("備考") } };
    sheet.roundBox = layout == Layout::Original;
    if (layout == Layout::Original)
        sheet.columnRules = { 82, 102, 112, 137, 162 };
    sheet.dateLabel = QStringLiteral("日付　　　　　　　　　日現在");
    sheet.columns = { { Field::Name, Format::Text, 15, {}, 82 },
                      { Field::Quantity, Format::Quantity, 90, QStringLiteral("数量") },
                      { Field::Unit, Format::Text, 103 },
                      { Field::UnitPrice, Format::Quantity, 125, QStringLiteral("単価") },
                      { Field::Price, Format::Amount, 154, QStringLiteral("価格") },
                      { Field::Remark, Format::Text, 164, {}, 192 } };
    sheet.sumBase = 154;
    return sheet;
}

Printed drawA4(PageSurface& s, const Document& doc, Layout layout, const QString& fontFamily)
{
    return drawSheet(s, doc, a4Layout(layout), fontFamily);
}

Printed draw(PageSurface& surface, const Document& doc, Layout layout, const QString& fontFamily, double offsetX,
             double offsetY)
{
    return layout == Layout::Hisago1151 ? drawContinuous(surface, doc, fontFamily, offsetX, offsetY)
                                        : drawA4(surface, doc, layout, fontFamily);
}

int pageCount(const Document& doc, Layout layout)
{
    return layout == Layout::Hisago1151 ? continuousPages(doc) : sheetPages(doc);
}

QString documentTitle(QDate date)
{
    return QStringLiteral("棚卸表 ") + SheetText::dateText(date);
}

std::optional<Printed> writePdf(const Document& doc, Layout layout, const QString& fontFamily, double offsetX,
                                double offsetY, const QString& path, QString* error, const PageSetup& setup)
{
    return writeSheetPdf(
        path, documentTitle(doc.date),
        [&](PageSurface& surface) { return draw(surface, doc, layout, fontFamily, offsetX, offsetY); }, error, setup);
}

} // namespace StocktakingSheet
