// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/lines/SummaryViews.h"
#include "core/printing/SheetLayout.h"
#include "core/store/Database.h"

#include <QDate>
#include <QString>
#include <optional>

// The summary sheets (集計表) of a settlement date: one row per category name, by falling
// total, or per product name, by name, each with the sum of 価格 of its lines and their
// number; a subtotal per page and the total on the last page. The rows are those of the
// summary list's totals views, from the same statement.
namespace SummarySheet {

using By = TotalsModel::By;

// The title the list hands over: "棚卸表 (項目/分類別集計)", "棚卸表 (品名別集計)".
QString title(By by);
// The heading of the name column, which also tells the kind: "項目/分類名", "品名".
QString heading(By by);
std::optional<By> byHeading(const QString& heading);

SheetLayout layout(const QString& title, const QString& heading);

// The rows of the date in one section. nullopt with the message for the user in problem when
// the date has no rows, the database refused, or a group has no 価格 at all (its total is
// unknown, so no total printed would be right).
std::optional<SheetDocument> load(const Database& db, By by, QDate date, QString* problem);

// The title of the print job and of the PDF file.
QString documentTitle(const QString& title, QDate date);

// The sheet written into a PDF file, beside path and renamed over it when complete. nullopt
// with the reason in error on failure (error empty when the progress of setup cancelled it).
std::optional<SheetPrinted> writePdf(const SheetDocument& document, const QString& title, const QString& heading,
                                     const QString& fontFamily, const QString& path, QString* error,
                                     const PageSetup& setup = {});

} // namespace SummarySheet
