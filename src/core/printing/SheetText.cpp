// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/SheetText.h"

#include "core/printing/PageSurface.h"
#include "core/rules/TextRules.h"

#include <cmath>

namespace SheetText {

QString amount(double value)
{
    return TextRules::formatAmount(value);
}

QString quantity(double value)
{
    if (!std::isfinite(value) || value == std::trunc(value))
        return amount(value);
    const QString text = QString::number(std::fabs(value), 'f', 2);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QString whole = amount(text.left(point).toDouble());
    return (value < 0 ? QStringLiteral("-") : QString()) + whole + text.mid(point);
}

QString dateText(QDate date)
{
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}

void drawQuantity(PageSurface& s, double base, double y, const QString& label, double value)
{
    const QString text = quantity(value);
    // The alignment measures the digits before the decimal point only.
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    s.drawAligned(base, y, label, text, point < 0 ? text : text.left(point));
}

void drawPageNumber(PageSurface& s, int pageNo)
{
    s.drawText(192, 10, QStringLiteral("頁"));
    // Printed with a blank before and after, as a number is; the alignment measures its digits.
    const QString digits = QString::number(pageNo);
    s.drawAligned(185, 10, QStringLiteral("頁"), QLatin1Char(' ') + digits + QLatin1Char(' '), digits);
}

void drawSum(PageSurface& s, double y, const QString& label, double sum, double base)
{
    s.drawText(17, y, label);
    s.drawAligned(base, y, label, amount(sum));
}

} // namespace SheetText
