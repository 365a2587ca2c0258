// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/SheetLayout.h"
#include "core/store/Database.h"

#include <QDate>
#include <QList>
#include <QString>
#include <cmath>
#include <optional>

class PageSurface;

// The stocktaking sheet (棚卸表) of one settlement date: the lines by category with their
// page subtotals and the total, as the business hands it in.
namespace StocktakingSheet {

enum class Layout
{
    Original, // "A４　オリジナル棚卸表": rounded frame and column rules
    Simple, // "A４　簡易棚卸表": row rules only
    Hisago1151, // "HISAGO 1151": the data only, on the maker's pre-printed continuous form
};

// The layouts by the names the dialog offers them, in its order.
QString layoutName(Layout layout);
std::optional<Layout> layoutFromName(const QString& name);

// A counted line; the lines printed under one category heading; the sheet's sections.
using Line = SheetRow;
using Section = SheetSection;
// The categories in 項目ID order, each even without lines; with all categories the lines of
// category 0 follow as a last section, when there are any.
using Document = SheetDocument;

// The document of the date: all categories, or only the one of categoryId, with the line count
// of each section; the lines are read when the pages are drawn. nullopt when the database
// refused. With firstCodes, each line carries the first code of its product (when the file
// keeps codes).
std::optional<Document> load(const Database& db, QDate date, std::optional<int> categoryId = std::nullopt,
                             bool firstCodes = false);
// The 項目ID of the category named exactly name (項目ID ≥ 1); nullopt when there is none.
std::optional<int> categoryByName(const Database& db, const QString& name);
// How many lines the date has; nullopt when the database refused.
std::optional<int> lineCount(const Database& db, QDate date);
// The stored total of 価格 of the lines of the date, compared with the printed total.
std::optional<double> storedTotal(const Database& db, QDate date);

// Whether the printed total is every line's: amounts compared in whole yen, as printed.
inline bool totalsAgree(double stored, double printed)
{
    return std::llround(stored) == std::llround(printed);
}

using Printed = SheetPrinted;

// The page frame, headings, columns and sums of an A4 layout.
SheetLayout a4Layout(Layout layout);

// The A4 layouts: one page frame per category page, 28 rows, the subtotal of every page and
// the total on the last page. The surface's font family is the printer font.
Printed drawA4(PageSurface& surface, const Document& document, Layout layout, const QString& fontFamily);

// The continuous form: 30 rows on the first page, 29 on the others, the amounts carried
// from page to page. offsetX and offsetY are the user's shift of the print on the form, mm.
Printed drawContinuous(PageSurface& surface, const Document& document, const QString& fontFamily, double offsetX,
                       double offsetY);

// How many pages drawContinuous makes of document.
int continuousPages(const Document& document);

// The document in layout, by the routine of the layout.
Printed draw(PageSurface& surface, const Document& document, Layout layout, const QString& fontFamily, double offsetX,
             double offsetY);
// How many pages draw makes of document in layout, known before the first is drawn.
int pageCount(const Document& document, Layout layout);

// The title of the print job and of the PDF file: "棚卸表 2026/03/31".
QString documentTitle(QDate date);

// The document drawn in layout into a PDF file (A4 portrait), written beside path and renamed
// over it when complete. nullopt with the reason in error on failure (error empty when the
// progress of setup cancelled it).
std::optional<Printed> writePdf(const Document& document, Layout layout, const QString& fontFamily, double offsetX,
                                double offsetY, const QString& path, QString* error, const PageSetup& setup = {});

} // namespace StocktakingSheet
