// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDialog>

class AppState;
class PrinterCatalog;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// "プリンタの設定": the current printer, its largest copy count and paper source, and the
// printer's default paper, which is changed for every program of the user at once. What is
// chosen here stays chosen whichever button closes the window.
class frmPrinterP : public QDialog
{
    Q_OBJECT
public:
    frmPrinterP(AppState& state, PrinterCatalog& printers, QWidget* parent = nullptr);

private:
    void buildControls();
    void listPrinters();
    void choosePrinter(int index);
    void choosePaper(int index);
    void showPrinterSettings();
    // Fills the paper list and the texts about the current printer from its driver; a driver
    // that cannot tell leaves the paper group disabled.
    void reloadPapers();
    bool fillPapers();
    void setPaperGroupEnabled(bool enabled);
    void registerOffsets(bool bold);

    AppState& m_state;
    PrinterCatalog& m_printers;
    int m_selected = -1; // position of the current printer in Combo3
    int m_paperCode = 0; // the current printer's default paper

    QGroupBox* Frame1;
    QComboBox* Combo1;
    QComboBox* Combo2;
    QComboBox* Combo3;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLineEdit* Text1;
    QLineEdit* Text3;
    QSpinBox* UpDown1;
    QSpinBox* UpDown2;
};
