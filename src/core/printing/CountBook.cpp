// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/CountBook.h"

#include "core/printing/SheetText.h"
#include "core/printing/StocktakingSheet.h"

namespace CountBook {

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
        l.columns = { { Field::Name, Format::Text, 15, {}, 82 },
                      { Field::Unit, Format::Text, 103 },
                      { Field::UnitPrice, Format::Quantity, 125, QStringLiteral("単価") } };
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
    if (lines)
        document = StocktakingSheet::load(db, date, categoryId);
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
