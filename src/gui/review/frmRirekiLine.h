// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/history/ChangeHistory.h"

#include <QDialog>
#include <QList>

class AppState;
class QTableWidget;

// The history of one counted line, oldest first: when, from which station, what was done, and
// each column changed with its value before and after (a line added shows what it was added
// with, a deleted one what it held).
class frmRirekiLine : public QDialog
{
    Q_OBJECT
public:
    frmRirekiLine(qint64 lineId, const QList<ChangeHistory::Entry>& entries, QWidget* parent = nullptr);

    // Reads the line's history and shows it modally; a history that cannot be read is said.
    static void showFor(AppState& state, qint64 lineId, QWidget* parent);

private:
    QTableWidget* dgdRireki;
};
