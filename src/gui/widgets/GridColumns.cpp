// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/GridColumns.h"

#include "core/app/Twips.h"
#include "gui/widgets/AmountColumn.h"

#include <QHeaderView>
#include <QTableView>

void layOutColumns(QTableView* grid, const QList<int>& twips, int amountColumn)
{
    const int defaultWidth = grid->horizontalHeader()->defaultSectionSize();
    const int columns = grid->model() ? grid->model()->columnCount() : 0;
    for (int c = 0; c < columns; ++c) {
        const int width = c < twips.size() ? twips[c] : -1;
        grid->setColumnHidden(c, width == 0);
        if (width == 0)
            continue;
        int pixels = width < 0 ? defaultWidth : twipsToPixels(width, grid->logicalDpiX());
        if (c == amountColumn)
            pixels = amountColumnWidth(grid, pixels);
        grid->setColumnWidth(c, pixels);
    }
}
