// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/rules/TextRules.h"

#include <QAbstractItemView>
#include <QStyle>
#include <cmath>

// Width in pixels of a grid column of amounts: the largest amount the sheets print
// (TextRules::MaxIntegerDigits digits and one more for a total, with separators and a
// sign) fits in the grid's font without being cut, and the column is never narrower than
// minimum.
inline int amountColumnWidth(const QAbstractItemView* grid, int minimum)
{
    const QString widest = TextRules::formatAmount(-(std::pow(10.0, TextRules::MaxIntegerDigits + 1) - 1));
    const int margins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 4;
    return std::max(minimum, grid->fontMetrics().horizontalAdvance(widest) + margins);
}
