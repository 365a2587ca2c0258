// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/lines/SummaryViews.h"

#include <QDate>
#include <QDialog>
#include <optional>

class AppState;
class LinesModel;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class TotalsModel;

// "決算日別　棚卸集計表": the lines of a settlement date in one of the views of
// SummaryViews — all lines, lines without unit price, totals by category or by product,
// and the checks for lines whose category or product is not registered. Each activation
// goes back to all lines of the date.
class frmList : public QDialog
{
    Q_OBJECT
public:
    frmList(AppState& state, QDate settlementDate, QWidget* parent = nullptr);

    // The view whose print dialog the list was closed for, which its opener shows: all lines
    // for the stocktaking sheet, the totals for their summary sheet; nullopt when none.
    std::optional<SummaryViews::View> printWanted() const { return m_printWanted; }
    // The settlement date the list shows, which the print dialog takes over.
    QDate date() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    // Another station wrote: the status line and the view shown follow.
    void followOthers();
    void showAllLines();
    void showChosenView();
    void showView(SummaryViews::View view);
    // Each returns false when the lines could not be read or marked.
    bool showLines(bool withoutUnitPrice);
    bool showTotals(TotalsModel::By by);
    // Marks the lines the check finds and lists them; how many, nullopt when the marks
    // could not be written. A read-only file lists the missing lines unmarked.
    std::optional<int> check(std::optional<int> (*mark)(const Database&, QDate), const LineSelection& missing);
    bool checkCategories();
    bool checkProducts();
    void showChecked(const LineSelection& selection);
    void refreshStatusLine();
    void print();
    void exportLines();

    AppState& m_state;
    LinesModel* m_lines; // the joined lines of the date
    LinesModel* m_checked; // the lines found by a check
    TotalsModel* m_totals;
    SummaryViews::View m_shown = SummaryViews::View::AllLines;
    std::optional<SummaryViews::View> m_printWanted;

    QDateEdit* DTPicker1;
    QComboBox* Combo1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QLineEdit* Text1;
    QTableView* dgdSub;
    QStatusBar* m_messages;
};
