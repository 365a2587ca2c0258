// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/history/Finalisation.h"

#include <QDialog>

class QComboBox;
class QPushButton;

// "確定した棚卸表の保存": which of the date's finalisations the stored sheet is saved of, when it
// was finalised more than once (each undoing keeps the sheet filed before it). The newest is
// offered first; each names its time, lines, total and layout, and whether it was undone.
class DialogKakuteiHozon : public QDialog
{
    Q_OBJECT
public:
    DialogKakuteiHozon(const QList<Finalisation::Record>& records, QWidget* parent = nullptr);

    // The finalisation chosen.
    const Finalisation::Record& chosen() const;

    // One finalisation as the list shows it.
    static QString describe(const Finalisation::Record& record);

private:
    QList<Finalisation::Record> m_records; // newest first, as listed
    QComboBox* Combo1;
    QPushButton* cmdHozon;
    QPushButton* cmdCancel;
};
