// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/imports/ImportMapping.h"

#include <QDialog>

class AppState;
class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
struct ImportForm;
struct ImportOutcome;

// Chooses an import file and runs the import: stocktaking lines for a settlement date, or
// products. The columns come from the kind's mapping file, made in the assignment dialog
// (設定, or at once when the file is missing). The whole file is checked and written in
// one go; 中止 ends a run with nothing written.
class ImportRunDialog : public QDialog
{
    Q_OBJECT
public:
    ImportRunDialog(AppState& state, ImportKind kind, QWidget* parent = nullptr);

    // Something was written: the screens behind show the database again.
    bool imported() const { return m_imported; }

    void reject() override;

private:
    void buildControls();
    void chooseFile();
    void openColumns(const QString& file);
    void run();
    bool confirm(const QString& file, const ImportMapping& mapping);
    ImportOutcome runImport(const QString& file, const ImportMapping& mapping);
    void setRunning(bool running);
    void showOutcome(const ImportOutcome& outcome);

    AppState& m_state;
    const ImportForm& m_form;
    bool m_running = false;
    bool m_stopWanted = false;
    bool m_imported = false;

    QGroupBox* Frame3;
    QLabel* Picture1;
    QLabel* Picture2;
    QLabel* Label6 = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QLabel* Label1;
    QLineEdit* txtFileName;
    QPushButton* Command2;
    QCheckBox* Check1 = nullptr;
    QPushButton* Command3;
    QPushButton* Command1;
    QPushButton* Command4;
    QPushButton* cmdStop;
    QLabel* Label4;
    QProgressBar* ProgressBar1;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5;
};

// "棚卸のインポート": counted lines of a settlement date.
class DialogExcelA : public ImportRunDialog
{
    Q_OBJECT
public:
    explicit DialogExcelA(AppState& state, QWidget* parent = nullptr)
        : ImportRunDialog(state, ImportKind::Lines, parent)
    { }
};

// "品名情報のインポート": products, optionally updating the known ones.
class DialogExcelB : public ImportRunDialog
{
    Q_OBJECT
public:
    explicit DialogExcelB(AppState& state, QWidget* parent = nullptr)
        : ImportRunDialog(state, ImportKind::Products, parent)
    { }
};
