// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDate>
#include <QDialog>

class AppState;
class FinalisedMark;
class LinesModel;
class LookupCombo;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTableView;
struct LineSelection;

// "棚　卸　表　訂　正": stored lines are searched, corrected in the grid and deleted. Each
// activation checks the lines of the date for categories that no longer exist.
class frmInAmd2 : public QDialog
{
    Q_OBJECT
public:
    frmInAmd2(AppState& state, QDate settlementDate, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void checkCategories();
    void list(const LineSelection& selection);
    void commitEdit();
    void setEditButtons(bool enabled);
    bool hasLines() const;
    // Another station wrote: the status line and the lines listed follow.
    void followOthers();
    void refreshStatusLine();

    void searchCategory();
    void searchProduct();
    void searchAll();
    void searchWithoutUnitPrice();
    void update();
    void deleteLine();
    // The history of the line selected in the grid, in a window of its own.
    void showHistory();
    // True, after saying so, when the line of the row is of a finalised date.
    bool refuseFinalised(int row);

    AppState& m_state;
    LinesModel* m_lines;
    bool m_clearingText = false;

    QDateEdit* DTPicker1;
    FinalisedMark* m_mark;
    LookupCombo* dbcNouhin;
    LookupCombo* dbcShohin;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;
    QPushButton* cmdMasterCancel;
    QPushButton* cmdRireki;
    QTableView* dgdSub;
};
