// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/CountBook.h"

#include "core/lines/LineRegistration.h"
#include "core/printing/SheetText.h"
#include "core/printing/StocktakingSheet.h"
#include "core/store/Schema.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace CountBook {

namespace {

// A line with a code takes two rows: the pages of each section are counted over the lines in
// the order they print, from whether each line's product has a code. Nothing is counted when
// no line of the date has one.
bool countPages(const Database& db, SheetDocument& doc, std::optional<int> categoryId)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    const QString coded
        = QStringLiteral(R"(EXISTS (SELECT 1 FROM "商品コード" c WHERE c."品名ID" = "棚卸マスター"."品名ID"))");
    const QString where = QStringLiteral(R"( FROM "棚卸マスター" WHERE "日付" = ?)")
        + (categoryId ? QStringLiteral(R"( AND "項目ID" = ?)") : QString());
    q.prepare(QStringLiteral("SELECT 1") + where + QStringLiteral(" AND ") + coded + QStringLiteral(" LIMIT 1"));
    q.addBindValue(storedDate(doc.date));
    if (categoryId)
        q.addBindValue(*categoryId);
    if (!q.exec())
        return false;
    if (!q.next())
        return true;
    q.prepare(QStringLiteral(R"(SELECT "項目ID", )") + coded + where
              + (categoryId ? QStringLiteral(R"( ORDER BY "ID")")
                            : QStringLiteral(R"( ORDER BY "項目ID" = 0, "項目ID", "ID")")));
    q.addBindValue(storedDate(doc.date));
    if (categoryId)
        q.addBindValue(*categoryId);
    if (!q.exec())
        return false;
    QHash<int, qsizetype> sectionOf;
    for (qsizetype i = 0; i < doc.sections.size(); ++i)
        sectionOf.insert(doc.sections.at(i).categoryId, i);
    QList<SheetPageCounter> counters(doc.sections.size());
    while (q.next()) {
        if (const qsizetype section = sectionOf.value(q.value(0).toInt(), -1); section >= 0)
            counters[section].add(q.value(1).toBool());
    }
    if (q.lastError().isValid())
        return false;
    for (qsizetype i = 0; i < doc.sections.size(); ++i)
        doc.sections[i].pages = counters.at(i).pages();
    return true;
}

} // namespace

const SheetLayout& layout()
{
    using Field = SheetColumn::Field;
    using Format = SheetColumn::Format;
    static const SheetLayout book = [] {
        SheetLayout l;
        l.title = QStringLiteral("棚　卸　記　入　帳");
        l.titleRuleEnd = 142;
        l.headings = { { 22, QStringLiteral("品　名") },  { 85, QStringLiteral("数　量") },
                       { 103, QStringLiteral("単位") },   { 117, QStringLiteral("参考単価") },
                       { 142, QStringLiteral("単　価") }, { 167, QStringLiteral("備考") } };
        l.columnRules = { 82, 102, 112, 137, 162 };
        l.dateLabel = QStringLiteral("前期棚卸日");
        l.dateX = 165;
        // The earlier unit price stands under "参考単価"; quantity, price and remark are left
        // to the counter.
        //
        // A line whose product has a code gets its first code as bars above the name, in the
        // name's column: the quiet zone starts a millimetre inside the frame, so the first digit
        // of an EAN-13 stands about where the name starts. The bars are cut to 7.5 mm (a third
        // of the standard's height at this module) so that bars, digits and name fit two rows;
        // a handheld reader's line across them still has room to spare.
        l.columns = { { Field::Name, Format::Text, 15, {}, 82 },
                      { Field::Unit, Format::Text, 103 },
                      { Field::UnitPrice, Format::Quantity, 125, QStringLiteral("単価") },
                      { Field::Code, Format::Barcode, 13 } };
        l.barHeight = 7.5;
        return l;
    }();
    return book;
}

std::optional<SheetDocument> load(const Database& db, QDate date, std::optional<int> categoryId, QString* problem)
{
    const QString failed = QStringLiteral("データベースの接続に失敗しました。");
    const std::optional<int> lines = StocktakingSheet::lineCount(db, date);
    std::optional<SheetDocument> document;
    if (lines && *lines == 0) {
        if (problem)
            *problem = QStringLiteral("該当する棚卸はありません。前期の棚卸日を確認してください。");
        return std::nullopt;
    }
    QSqlDatabase connection = db.connection();
    const bool codes = Schema::version(connection) >= Schema::CodesVersion;
    if (lines)
        document = StocktakingSheet::load(db, date, categoryId, codes);
    if (document && codes && !countPages(db, *document, categoryId))
        document.reset();
    if (!document && problem)
        *problem = failed;
    return document;
}

QString documentTitle(QDate date)
{
    return QStringLiteral("棚卸記入帳 ") + SheetText::dateText(date);
}

SheetPrinted draw(PageSurface& surface, const SheetDocument& document, const QString& fontFamily)
{
    return drawSheet(surface, document, layout(), fontFamily);
}

std::optional<SheetPrinted> writePdf(const SheetDocument& document, const QString& fontFamily, const QString& path,
                                     QString* error, const PageSetup& setup)
{
    return writeSheetPdf(
        path, documentTitle(document.date), [&](PageSurface& surface) { return draw(surface, document, fontFamily); },
        error, setup);
}

} // namespace CountBook
