// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/SheetLayout.h"

#include "core/printing/Barcode.h"
#include "core/printing/SheetText.h"

#include <QDir>
#include <algorithm>
#include <bitset>
#include <memory>

namespace {

constexpr double titleSize = 14.25;
constexpr double textSize = 9.75;
constexpr int rowsPerPage = 28;
// Where the bars of a row with a barcode start, below the rule above the row (the heading
// rule for the first row).
constexpr double barcodeTop = 35.6;

// The rows a sheet row takes on the page.
int roomOf(const SheetLayout& layout, const SheetRow& row)
{
    return layout.barHeight > 0 && !row.code.isEmpty() ? 2 : 1;
}

// Draws the dotted rules between the rows of a page, except those inside a tall row.
void drawRowRules(PageSurface& s, const std::bitset<rowsPerPage>& joined)
{
    for (int rule = 0; rule < rowsPerPage - 1; ++rule) {
        if (!joined[rule])
            s.drawLine(12, 42 + 8 * rule, 192, 42 + 8 * rule, PageSurface::Line::Dotted);
    }
}

// One page's frame: ruling, title, column headings, page number, date line.
void drawFrame(PageSurface& s, const SheetLayout& layout, int pageNo, QDate date, const QString& fontFamily)
{
    if (layout.roundBox)
        s.drawRoundBox(12, 29, 192, 270, 1);
    s.drawLine(72, 16, layout.titleRuleEnd, 16);
    s.setFont(fontFamily, titleSize);
    s.drawText(layout.titleX, 11, layout.title);
    s.setFontSize(textSize);
    for (const SheetHeading& heading : layout.headings)
        s.drawText(heading.x, 30, heading.text);
    s.drawLine(12, 35, 192, 35);
    for (const double x : layout.columnRules)
        s.drawLine(x, 29, x, 270, layout.columnRuleStyle);
    s.drawLine(12, 258, 192, 258);
    SheetText::drawPageNumber(s, pageNo);
    s.drawText(142, 20, layout.dateLabel);
    s.drawText(layout.dateX, 20, SheetText::dateText(date));
}

QString textOf(const SheetRow& row, SheetColumn::Field field)
{
    switch (field) {
    case SheetColumn::Field::Name:
        return row.name;
    case SheetColumn::Field::Unit:
        return row.unit;
    case SheetColumn::Field::Remark:
        return row.remark;
    default:
        return {};
    }
}

double numberOf(const SheetRow& row, SheetColumn::Field field)
{
    switch (field) {
    case SheetColumn::Field::Quantity:
        return row.quantity;
    case SheetColumn::Field::UnitPrice:
        return row.unitPrice;
    case SheetColumn::Field::Price:
        return row.price;
    case SheetColumn::Field::Count:
        return double(row.count);
    default:
        return 0;
    }
}

// A row from rowNo on: its texts on the line of the last row it takes.
void drawRow(PageSurface& s, const SheetLayout& layout, int rowNo, const SheetRow& row)
{
    const double y = 38 + 8 * (rowNo + roomOf(layout, row) - 1);
    for (const SheetColumn& column : layout.columns) {
        switch (column.format) {
        case SheetColumn::Format::Barcode:
            if (!row.code.isEmpty()) {
                // A code no reader would take is printed as it is, where its bars would stand.
                if (const std::optional<Barcode::Symbol> symbol = Barcode::ean(row.code, layout.barHeight))
                    Barcode::draw(s, column.x, barcodeTop + 8 * rowNo, *symbol);
                else
                    s.drawText(column.x + Barcode::moduleMm * 11, barcodeTop + 8 * rowNo, row.code);
            }
            break;
        case SheetColumn::Format::Text:
            // A text kept to its column ends half a millimetre before the rule.
            if (column.end > 0)
                s.drawTextWithin(column.x, y, column.end - 0.5 - column.x, textOf(row, column.field));
            else
                s.drawText(column.x, y, textOf(row, column.field));
            break;
        case SheetColumn::Format::Quantity:
            SheetText::drawQuantity(s, column.x, y, column.label, numberOf(row, column.field));
            break;
        case SheetColumn::Format::Amount:
            s.drawAligned(column.x, y, column.label, SheetText::amount(numberOf(row, column.field)));
            break;
        }
    }
}

} // namespace

qint64 SheetDocument::lineCount() const
{
    qint64 lines = 0;
    for (const SheetSection& section : sections)
        lines += section.lineCount;
    return lines;
}

SheetRowReader rowsInMemory(QList<SheetRow> rows)
{
    return [held = std::make_shared<const QList<SheetRow>>(std::move(rows))](const SheetRowVisitor& visit) {
        for (const SheetRow& row : *held) {
            if (!visit(0, row))
                break;
        }
        return true;
    };
}

SheetPrinted drawSheet(PageSurface& s, const SheetDocument& doc, const SheetLayout& layout, const QString& fontFamily)
{
    SheetPrinted printed;
    int pageNo = 0;
    qsizetype current = -1; // the section being printed
    int row = 0;
    std::bitset<rowsPerPage> joined; // the rules of the page inside a tall row
    double pageSum = 0;
    auto startPage = [&] {
        if (pageNo > 0) {
            drawRowRules(s, joined);
            s.newPage();
        }
        joined.reset();
        drawFrame(s, layout, ++pageNo, doc.date, fontFamily);
        row = 0;
        pageSum = 0;
        if (!layout.categoryHeadings)
            return;
        const SheetSection& section = doc.sections.at(current);
        if (section.categoryId == 0) {
            s.drawText(12, 18, QStringLiteral("項目　未区分"));
        } else {
            s.drawText(12, 18, QStringLiteral("項目"));
            s.drawText(20, 18, section.categoryName);
        }
    };
    auto subtotal = [&] {
        if (layout.sumBase)
            SheetText::drawSum(s, 258, QStringLiteral("小計"), pageSum, *layout.sumBase);
    };
    // Every section up to section gets its pages, an empty one a page with its heading.
    auto reach = [&](qsizetype section) {
        while (current < section && !s.cancelled()) {
            if (current >= 0)
                subtotal();
            ++current;
            startPage();
        }
    };
    const bool read = !doc.rows || doc.rows([&](qsizetype section, const SheetRow& line) {
        if (section < current || section >= doc.sections.size())
            return true;
        reach(section);
        const int room = roomOf(layout, line);
        if (row + room > rowsPerPage) {
            subtotal();
            startPage();
        }
        if (s.cancelled())
            return false;
        drawRow(s, layout, row, line);
        for (int inside = 0; inside < room - 1; ++inside)
            joined.set(row + inside);
        row += room;
        pageSum += line.price;
        printed.total += line.price;
        return true;
    });
    reach(doc.sections.size() - 1);
    if (current >= 0)
        subtotal();
    if (pageNo > 0 && !s.cancelled())
        drawRowRules(s, joined);
    if (layout.sumBase)
        SheetText::drawSum(s, 262, QStringLiteral("合計"), printed.total, *layout.sumBase);
    printed.pages = pageNo;
    printed.cancelled = s.cancelled();
    printed.unread = !read;
    return printed;
}

int sheetPages(const SheetDocument& doc)
{
    qint64 pages = 0;
    for (const SheetSection& section : doc.sections)
        pages += section.pages > 0 ? section.pages
                                   : std::max<qint64>(1, (section.lineCount + rowsPerPage - 1) / rowsPerPage);
    return int(pages);
}

void SheetPageCounter::add(bool tall)
{
    const int room = tall ? 2 : 1;
    if (m_used + room > rowsPerPage) {
        ++m_pages;
        m_used = 0;
    }
    m_used += room;
}

std::optional<SheetPrinted> writeSheetPdf(const QString& path, const QString& title,
                                          const std::function<SheetPrinted(PageSurface&)>& draw, QString* error,
                                          const PageSetup& setup)
{
    SheetPrinted printed;
    const PagesWritten written = writePdfPages(
        path, title,
        [&](PageSurface& surface) {
            printed = draw(surface);
            return !printed.unread;
        },
        setup);
    if (written == PagesWritten::Done)
        return printed;
    if (error) {
        if (written == PagesWritten::Cancelled)
            error->clear();
        else if (printed.unread)
            *error = QStringLiteral("データベースの接続に失敗しました。");
        else
            *error = QStringLiteral("PDFファイルを保存できませんでした。\r") + QDir::toNativeSeparators(path);
    }
    return std::nullopt;
}
