// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/imports/ImportMapping.h"

#include <QDialog>
#include <QMap>

class AppState;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
struct ImportForm;

// Assigns the columns of an import file to the importable fields and keeps the assignment
// in the kind's mapping file. The file's heading line fills the column list; a field
// whose label equals a heading takes that column at once, and the user can change it.
// A field whose saved column is headed otherwise in the file is marked (！, the row
// highlighted, the saved heading beside the file's) and takes the column that now carries
// its saved heading, if any; the user confirms with OK or assigns anew, which takes the
// mark away. OK saves and hands the chosen file back to the opener (fileName()).
class ImportColumnsDialog : public QDialog
{
    Q_OBJECT
public:
    ImportColumnsDialog(AppState& state, ImportKind kind, const QString& file, QWidget* parent = nullptr);

    QString fileName() const;
    const ImportMapping& mapping() const { return m_mapping; }
    // Whether fields are marked as headed otherwise in the file than when they were saved.
    bool hasDifferences() const { return !m_differences.isEmpty(); }

private:
    void buildControls();
    void showMapping();
    void showRow(int row);
    void chooseFile();
    // Fills Combo1 from the heading line of the file in Text2; false when it cannot be read.
    bool readHeadings();
    void assignChosen();
    void clearCurrent();
    void save();

    AppState& m_state;
    const ImportForm& m_form;
    ImportMapping m_mapping;
    QString m_headingsOf; // the file Combo1 was filled from
    QMap<int, HeadingDifference> m_differences; // by field: the marked rows
    bool m_noHeadingLine = false; // none of the saved headings is in the file

    QLabel* Label1;
    QLineEdit* Text2;
    QPushButton* Command1;
    QLabel* Label2;
    QComboBox* Combo1;
    QPushButton* Command2;
    QPushButton* Command5;
    QTableWidget* MSFlexGrid1;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command6;
    QLabel* Label3;
    QLabel* Label4;
};

// "棚　卸　ｲﾝﾎﾟｰﾄの設定": the columns of a stocktaking lines file.
class DialogTabA : public ImportColumnsDialog
{
    Q_OBJECT
public:
    explicit DialogTabA(AppState& state, const QString& file = {}, QWidget* parent = nullptr)
        : ImportColumnsDialog(state, ImportKind::Lines, file, parent)
    { }
};

// "品名情報　ｲﾝﾎﾟｰﾄの設定": the columns of a products file.
class DialogTabB : public ImportColumnsDialog
{
    Q_OBJECT
public:
    explicit DialogTabB(AppState& state, const QString& file = {}, QWidget* parent = nullptr)
        : ImportColumnsDialog(state, ImportKind::Products, file, parent)
    { }
};
