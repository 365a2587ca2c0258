// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/lines/LineRegistration.h"

#include <QDate>
#include <QWidget>

class AppState;
class FinalisedMark;
class LinesModel;
class LookupCombo;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;

// "棚　卸　表　入　力": the counted lines of one settlement date are typed in here.
class frmTana : public QWidget
{
    Q_OBJECT
public:
    frmTana(AppState& state, QDate settlementDate, QWidget* parent = nullptr);

    // Shows the lines and totals of the database as it is now, after the main window
    // opened another file or changed this one.
    void reload();

    // The help text, also shown once on its own when the product master is empty.
    static QStringList helpLines();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void setTabOrder();
    void onActivated();
    void refreshStatusLine();
    void reloadLines();
    void showLastLine();

    void leaveCategory();
    void leaveProduct();
    void leaveUnit();
    void fillHistory(const QString& product);
    void takeFromHistory(int row, int column);

    void registerLine();
    void deleteLine();
    // True, after saying so, when the date shown is finalised: its lines take no change.
    bool refuseFinalised();
    void updateAddButton();
    // False (after saying so and taking the focus back) when the combo's text is too long.
    bool checkName(LookupCombo* combo);

    AppState& m_state;
    LinesModel* m_lines;
    std::optional<bool> m_addReady; // whether 入力 is shown ready, once it was styled
    bool m_categoryQuestionsOff = false;
    bool m_helpShown = false;
    bool m_refocusing = false;

    QDateEdit* DTPicker1;
    FinalisedMark* m_mark;
    LookupCombo* dbcNouhin;
    LookupCombo* dbcShohin;
    LookupCombo* dbcTani;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* txtCnt;
    QLineEdit* txtTanka;
    QLineEdit* txtMemo;
    QPushButton* cmdSubAdd;
    QPushButton* cmdMasterCancel;
    QPushButton* Command4;
    QPushButton* Command1;
    QTableView* dgdSub;
    QTableWidget* MSFlexGrid1;
};
