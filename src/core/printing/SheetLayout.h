// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/PageSurface.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// The A4 sheets the program prints (the stocktaking sheet, the count book, the summary
// sheets, the code list) are one drawing routine: a page frame with a title, column headings,
// column rules and a date line, rows of 8 mm, 28 to a page, grouped in sections that each start
// a page, and, when the sheet has amounts, a subtotal per page and the total on the last page.
// A row with a barcode takes two rows' room: the bars in the upper one, the texts on the lower
// one's line, where every row's texts stand. What tells the sheets apart is a SheetLayout,
// plain data.

// One printed row. The sheets print different fields of it: the stocktaking sheet a counted
// line, the count book the name, unit and unit price of an earlier one, a summary sheet a
// group's name with its total (price) and its number of lines (count), the code list a code
// of a product.
struct SheetRow
{
    QDate date;
    QString name;
    double quantity = 0;
    QString unit;
    double unitPrice = 0;
    double price = 0;
    QString remark;
    qint64 count = 0;
    QString code; // an EAN-13 or EAN-8 code printed as bars; empty for none
};

// A heading the rows under it are printed with, from a new page, and how many rows it has.
struct SheetSection
{
    int categoryId = 0;
    QString categoryName;
    qint64 lineCount = 0;
    // The pages the section takes when its rows are not all of one height, counted by the
    // loader in the order they are printed; 0 when every row takes one row's room.
    int pages = 0;
};

// Told one row at a time with the index of its section; false stops the reading.
using SheetRowVisitor = std::function<bool(qsizetype section, const SheetRow& row)>;
// Reads the rows of a document, section after section, each section's in printing order; false
// when the database refused. A stop asked by the visitor is no failure.
using SheetRowReader = std::function<bool(const SheetRowVisitor& visit)>;

// What a sheet prints: the headings, and the rows read while the pages are drawn, so a sheet
// of a million lines is never held whole. Each drawing reads the rows again.
struct SheetDocument
{
    QDate date;
    bool allCategories = true;
    QList<SheetSection> sections;
    SheetRowReader rows;

    qint64 lineCount() const;
};

// A reader over rows already in memory, all in one section.
SheetRowReader rowsInMemory(QList<SheetRow> rows);

// One column of a row.
struct SheetColumn
{
    enum class Field
    {
        Name,
        Quantity,
        Unit,
        UnitPrice,
        Price,
        Count,
        Remark,
        Code,
    };
    enum class Format
    {
        Text, // as stored, from x; kept before end when end is given
        Quantity, // "#,##0" or "#,##0.00", whole digits ending where label printed at x ends
        Amount, // "#,##0", ending where label printed at x ends
        Barcode, // bars with the digits under them, quiet zone from x, from the top of the row
    };
    Field field;
    Format format;
    double x;
    QString label = {};
    double end = 0;
};

struct SheetHeading
{
    double x;
    QString text;
};

struct SheetLayout
{
    QString title;
    double titleX = 87;
    double titleRuleEnd = 122; // the underline runs from x 72 to here
    QList<SheetHeading> headings; // at y 30
    bool roundBox = true;
    QList<double> columnRules; // from y 29 to 270
    PageSurface::Line columnRuleStyle = PageSurface::Line::Dotted;
    QString dateLabel; // at (142, 20)
    double dateX = 152;
    // "項目" and the section's category name (or "項目　未区分") above every page.
    bool categoryHeadings = true;
    QList<SheetColumn> columns;
    // With amounts: the price of every row summed into "小計" at the foot of each page and
    // "合計" on the last one, ending where those labels printed at sumBase end.
    std::optional<double> sumBase;
    // With a Barcode column: the height of the bars, mm.
    double barHeight = 0;
};

struct SheetPrinted
{
    int pages = 0;
    double total = 0; // the total printed on the last page
    double taxTotal = 0; // continuous form: the sum of the "消費税" lines
    bool cancelled = false; // the surface's progress stopped the drawing
    bool unread = false; // the database refused the rows: the pages are not whole
    bool whole() const { return !cancelled && !unread; }
};

// Draws document in layout from the surface's first page, in the face fontFamily.
SheetPrinted drawSheet(PageSurface& surface, const SheetDocument& document, const SheetLayout& layout,
                       const QString& fontFamily);
// How many pages drawSheet makes of document: a page per 28 rows of a section, one at least,
// or the pages the loader counted.
int sheetPages(const SheetDocument& document);

// The pages of one section counted row by row, as drawSheet fills them: a tall row (one
// with a barcode) that does not fit under the others starts the next page.
class SheetPageCounter
{
public:
    void add(bool tall);
    int pages() const { return m_pages; }

private:
    int m_pages = 1;
    int m_used = 0; // rows' room used on the last page
};

// The pages draw makes written into a PDF file titled title (A4 portrait), beside path and
// renamed over it when complete. nullopt with the reason in error on failure; nullopt with
// error empty when setup's progress cancelled it.
std::optional<SheetPrinted> writeSheetPdf(const QString& path, const QString& title,
                                          const std::function<SheetPrinted(PageSurface&)>& draw, QString* error,
                                          const PageSetup& setup = {});
