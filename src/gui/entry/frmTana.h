// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/lines/LineRegistration.h"
#include "core/masters/ProductCodes.h"

#include <QDate>
#include <QWidget>

class AppState;
class FinalisedMark;
class LinesModel;
class QCheckBox;
class QGridLayout;
class ScanSound;
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
    // A line counted by scanning is registered only by the next code or 入力: closing asks.
    void closeEvent(QCloseEvent* event) override;

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

    // False when the line was not registered (the boxes then say why, or a message did).
    bool registerLine();
    void deleteLine();
    // True, after saying so, when the date shown is finalised: its lines take no change.
    bool refuseFinalised();
    void updateAddButton();
    // False (after saying so and taking the focus back) when the combo's text is too long.
    bool checkName(LookupCombo* combo);

    // Codes typed or scanned into 品名 (frmTanaScan.cpp).
    void buildScanControls(QGridLayout* entry, QWidget* frame);
    void setScanMode(bool on);
    // A text ended with Enter in the product box (or a scanner's burst): true when it was
    // taken as a code, false when it is a product's name and the Enter goes on.
    bool takeCode(const QString& text, bool fromScanner);
    // A product found by its code: its name, unit and price fill the boxes; counted in scan mode.
    void takeProduct(const ProductCodes::Owner& owner, const QString& code);
    void fillProduct(const ProductCodes::Owner& owner);
    // Scan mode: the same code adds 1, another one registers the line before it first.
    void countScan(const ProductCodes::Owner& owner, const QString& code);
    void offerUnknownCode(const QString& code);
    // Leaving 品名 while a scanned code waits for the name it belongs to; true when done here.
    bool attachWaitingCode(const QString& name);
    void attachToRegistered(const QString& product, int productId);
    void showScanCount();

    AppState& m_state;
    LinesModel* m_lines;
    std::optional<bool> m_addReady; // whether 入力 is shown ready, once it was styled
    bool m_categoryQuestionsOff = false;
    bool m_helpShown = false;
    bool m_refocusing = false;
    QString m_resolvedName; // the product whose unit and price the boxes were filled with by its code

    // The line being counted by scanning: the code and product (0: a new one, registered
    // with the line) whose name is in 品名.
    struct Counting
    {
        QString code;
        int productId = 0;
        QString name;
    };
    std::optional<Counting> m_counting;
    std::optional<QString> m_waitingCode; // an unknown code waiting for the name typed into 品名
    std::optional<Counting> m_newProductCode; // attached once the new product's line is registered

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
    QCheckBox* chkScan;
    QLabel* lblScanCount;
    ScanSound* m_sound;
};
