// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QAbstractItemView>
#include <QList>

class QTableView;

// Sets a grid of lines up as every list of lines shows them: whole rows, one at a time, rows
// 360 twips high, in the lists' face ＭＳ Ｐゴシック unless the grid keeps the window's;
// edited only as edits say.
void setUpLineGrid(QTableView* grid, QAbstractItemView::EditTriggers edits = QAbstractItemView::NoEditTriggers,
                   bool listFace = true);

// Lays out a grid's columns from widths in twips, the first width for column 0: a width of
// 0 hides the column, columns past the list keep the grid's default width. The amount
// column, when given, is widened so the largest amount shows whole.
void layOutColumns(QTableView* grid, const QList<int>& twips, int amountColumn = -1);

// The widths of a grid of whole lines (ID hidden, 日付, 項目ID, 品名, 数量, 単位, 単価, 価格,
// 備考, 備考1), and the column of their amount.
inline const QList<int> WholeLineTwips = { 0, 1200, 600, 3800, 1200, 600, 1200, 1200, 1200, 1200 };
inline constexpr int WholeLineAmountColumn = 7;
