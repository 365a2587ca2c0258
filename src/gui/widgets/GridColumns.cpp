// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/GridColumns.h"

#include "core/app/Twips.h"
#include "gui/widgets/AmountColumn.h"

#include <QFont>
#include <QHeaderView>
#include <QTableView>

void setUpLineGrid(QTableView* grid, QAbstractItemView::EditTriggers edits, bool listFace)
{
    if (listFace)
        grid->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), grid->font().pointSize()));
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(edits);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(twipsToPixels(360, grid->logicalDpiY()));
}

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
