// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDate>
#include <QString>

class PageSurface;

// The texts and the lines that every printed A4 sheet shares: amounts and quantities as
// they are printed, the date, the page number and the subtotal and total lines.
namespace SheetText {

// "#,##0".
QString amount(double value);
// "#,##0" for a whole number, "#,##0.00" otherwise.
QString quantity(double value);
// The date as the sheets print it, "yyyy/MM/dd".
QString dateText(QDate date);

// A quantity or unit price right-aligned against label at base: its whole digits end where a
// whole number of the column ends, its decimals stand out beyond.
void drawQuantity(PageSurface& s, double base, double y, const QString& label, double value);
// The page number right-aligned against "頁" (printed at (192, 10)) with base 185.
void drawPageNumber(PageSurface& s, int pageNo);
// label ("小計", "合計") at (17, y) and sum right-aligned against it at base 154.
void drawSum(PageSurface& s, double y, const QString& label, double sum, double base = 154);

} // namespace SheetText
