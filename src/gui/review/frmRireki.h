// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/history/ChangeHistory.h"

#include <QDate>
#include <QDialog>

class AppState;
class HistoryListModel;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTableView;

// "変　更　履　歴": what was written to the lines of a settlement date, entry by entry in the
// order written, searched by name, by amount range and by time range; printed on A4 and
// written to a workbook as found. A double click on an entry of a line shows that line's
// whole history.
class frmRireki : public QDialog
{
    Q_OBJECT
public:
    frmRireki(AppState& state, QDate settlementDate, QWidget* parent = nullptr);

private:
    void buildControls();
    // Reads the boxes and lists what they find; a box holding no amount or no time is said
    // and keeps the focus.
    void search();
    void showFound();
    void print();
    void exportEntries();
    void showLine(const QModelIndex& index);

    AppState& m_state;
    HistoryListModel* m_entries;
    QString m_conditions; // the search listed, in words

    QDateEdit* DTPicker1;
    QLineEdit* txtName;
    QLineEdit* txtMinAmount;
    QLineEdit* txtMaxAmount;
    QLineEdit* txtFrom;
    QLineEdit* txtUntil;
    QPushButton* Command1;
    QTableView* dgdRireki;
    QLineEdit* Text1;
    QPushButton* Command2;
    QPushButton* Command3;
};
